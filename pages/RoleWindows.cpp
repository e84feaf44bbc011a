#include "pages/RoleWindows.h"

#include "pages/FindUserDlg.h"
#include "pages/NTRoleMemberPage.h"
#include "pages/NewRoleDialog.h"
#include "pages/NovellMemberPage.h"
#include "pages/RoleGenPage.h"

#include <new>

namespace zyr::pages {

IPropertyPage* CreateRoleGeneralPage(CKVTRole* role, LONG_PTR notifyHandle, LPARAM changeParam)
{
    return new (std::nothrow) CRoleGenPage(notifyHandle, role, changeParam);
}

IPropertyPage* CreateRoleMembersPage(zyr::console::MemberPageKind kind, CKVTRole* role, LONG_PTR notifyHandle,
                                     LPARAM changeParam)
{
    if (kind == zyr::console::MemberPageKind::DirectoryClient) {
        return new (std::nothrow) CNovellMemberPage(notifyHandle, role, changeParam);
    }
    return new (std::nothrow) CNTRoleMemberPage(notifyHandle, role, changeParam);
}

bool RunNewRoleDialog(HWND parent, zyr::console::NewRoleTexts* texts)
{
    CNewRoleDialog dialog;
    if (dialog.DoModal(parent) != zyr::ui::IDOK) {
        return false;
    }
    if (texts != nullptr) {
        texts->name = dialog.m_strName;
        texts->description = dialog.m_strDescription;
    }
    return true;
}

void RunFindUserDialog()
{
    FindUserDlg dialog;
    dialog.DoModal();
}

void InstallRoleWindows()
{
    zyr::console::RoleUi ui;
    ui.createGeneralPage = &CreateRoleGeneralPage;
    ui.createMembersPage = &CreateRoleMembersPage;
    ui.runNewRoleDialog = &RunNewRoleDialog;
    ui.runFindUser = &RunFindUserDialog;
    zyr::console::SetRoleUi(ui);
}

} // namespace zyr::pages
