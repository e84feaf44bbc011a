// The windows of the role side, installed as the role nodes' windows.
#pragma once

#include "console/framework/RoleUi.h"

namespace zyr::pages {

class RoleWindows : public zyr::console::RoleUi {
public:
    // CRoleGenPage.
    HRESULT AddGeneralPage(CKVTRole* role, IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                           LPARAM changeParam) override;
    // CNovellMemberPage for directory-client accounts, CNTRoleMemberPage otherwise.
    HRESULT AddMembersPage(zyr::console::MemberPageKind kind, CKVTRole* role,
                           IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                           LPARAM changeParam) override;
    bool RunNewRoleDialog(HWND parent, zyr::console::NewRoleTexts& texts) override;
    void RunFindUser() override;
};

// Installs them as the role side's windows.
void InstallRoleWindows();

} // namespace zyr::pages
