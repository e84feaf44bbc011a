// The windows of the role side that the node logic opens: the General and
// Members pages of a role, the New Role dialog and the find-user dialog. The
// toolkit layer installs its implementation at start; until then (and in
// tests that install no double) a role offers no page and the commands show
// no dialog.
#pragma once

#include "platform/mmc/ConsoleInterfaces.h"

#include <string>

class CKVTRole;

namespace zyr::console {

// Which Members page a role's sheet shows: the account-picker page, or the
// directory-client page when the accounts are directory-client accounts.
enum class MemberPageKind { Accounts, DirectoryClient };

// What the New Role dialog returns after OK: the trimmed name and the
// description.
struct NewRoleTexts {
    std::string name;
    std::string description;
};

// Each answer of this base is the one of a console without windows.
class RoleUi {
public:
    virtual ~RoleUi() = default;
    // Hand the pages of a role to the sheet, each with the console's notify
    // handle. A page that changed something tells the console with
    // MMCPropertyChangeNotify and changeParam (the role node's cookie), so
    // that the node redraws. The role stays owned by the role list and
    // outlives the sheet. S_OK when no page is offered.
    virtual HRESULT AddGeneralPage(CKVTRole* role, IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                   LPARAM changeParam);
    virtual HRESULT AddMembersPage(MemberPageKind kind, CKVTRole* role, IPropertySheetCallback* callback,
                                   LONG_PTR notifyHandle, LPARAM changeParam);
    // Runs the New Role dialog over parent; true after OK, with texts filled.
    virtual bool RunNewRoleDialog(HWND parent, NewRoleTexts& texts);
    // Shows the find-user dialog modally, without a parent window.
    virtual void RunFindUser() {}
};

// The installed windows; before any is installed, the base above.
RoleUi& CurrentRoleUi();
void SetRoleUi(RoleUi* ui); // not owned; null restores the default
void ResetRoleUi();

} // namespace zyr::console
