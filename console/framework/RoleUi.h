// The windows of the role side that the node logic opens: the General and
// Members pages of a role, the New Role dialog and the find-user dialog. The
// toolkit layer installs them at start; until then (and in tests that install
// doubles) a role offers no page and the commands show no dialog.
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

struct RoleUi {
    // The pages of a role, each with the console's notify handle. A page
    // that changed something tells the console with MMCPropertyChangeNotify
    // and changeParam (the role node's cookie), so that the node redraws.
    // The role stays owned by the role list and outlives the sheet. Null when
    // the page cannot be made.
    IPropertyPage* (*createGeneralPage)(CKVTRole* role, LONG_PTR notifyHandle, LPARAM changeParam) = nullptr;
    IPropertyPage* (*createMembersPage)(MemberPageKind kind, CKVTRole* role, LONG_PTR notifyHandle,
                                        LPARAM changeParam) = nullptr;
    // Runs the New Role dialog over parent; true after OK, with texts filled.
    bool (*runNewRoleDialog)(HWND parent, NewRoleTexts* texts) = nullptr;
    // Shows the find-user dialog modally, without a parent window.
    void (*runFindUser)() = nullptr;
};

void SetRoleUi(const RoleUi& ui);
const RoleUi& CurrentRoleUi();
// Nothing installed (tests).
void ResetRoleUi();

} // namespace zyr::console
