#include "pages/RoleWindows.h"

#include "console/framework/NodeHelpers.h"

#include "pages/FindUserDlg.h"
#include "pages/NTRoleMemberPage.h"
#include "pages/NewRoleDialog.h"
#include "pages/NovellMemberPage.h"
#include "pages/RoleGenPage.h"

#include <new>

namespace zyr::pages {

HRESULT RoleWindows::AddGeneralPage(CKVTRole* role, IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                    LPARAM changeParam)
{
    return zyr::console::AddPropertyPage(callback,
                                         new (std::nothrow) CRoleGenPage(notifyHandle, role, changeParam));
}

HRESULT RoleWindows::AddMembersPage(zyr::console::MemberPageKind kind, CKVTRole* role,
                                    IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                    LPARAM changeParam)
{
    IPropertyPage* page = nullptr;
    if (kind == zyr::console::MemberPageKind::DirectoryClient) {
        page = new (std::nothrow) CNovellMemberPage(notifyHandle, role, changeParam);
    } else {
        page = new (std::nothrow) CNTRoleMemberPage(notifyHandle, role, changeParam);
    }
    return zyr::console::AddPropertyPage(callback, page);
}

bool RoleWindows::RunNewRoleDialog(HWND parent, zyr::console::NewRoleTexts& texts)
{
    CNewRoleDialog dialog;
    if (dialog.DoModal(parent) != zyr::ui::IDOK) {
        return false;
    }
    texts.name = dialog.m_strName;
    texts.description = dialog.m_strDescription;
    return true;
}

void RoleWindows::RunFindUser()
{
    FindUserDlg dialog;
    dialog.DoModal();
}

void InstallRoleWindows()
{
    static RoleWindows windows;
    zyr::console::SetRoleUi(&windows);
}

} // namespace zyr::pages
