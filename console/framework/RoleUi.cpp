#include "console/framework/RoleUi.h"

#include "console/framework/InstalledSeam.h"

namespace zyr::console {
namespace {

InstalledSeam<RoleUi> g_ui;

} // namespace

HRESULT RoleUi::AddGeneralPage(CKVTRole*, IPropertySheetCallback*, LONG_PTR, LPARAM)
{
    return S_OK;
}

HRESULT RoleUi::AddMembersPage(MemberPageKind, CKVTRole*, IPropertySheetCallback*, LONG_PTR, LPARAM)
{
    return S_OK;
}

bool RoleUi::RunNewRoleDialog(HWND, NewRoleTexts&)
{
    return false;
}

RoleUi& CurrentRoleUi()
{
    return g_ui.Current();
}

void SetRoleUi(RoleUi* ui)
{
    g_ui.Set(ui);
}

void ResetRoleUi()
{
    g_ui.Reset();
}

} // namespace zyr::console
