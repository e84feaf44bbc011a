#include "console/framework/RoleUi.h"

namespace zyr::console {
namespace {

RoleUi g_default;
RoleUi* g_ui = nullptr;

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
    return g_ui ? *g_ui : g_default;
}

void SetRoleUi(RoleUi* ui)
{
    g_ui = ui;
}

void ResetRoleUi()
{
    g_ui = nullptr;
}

} // namespace zyr::console
