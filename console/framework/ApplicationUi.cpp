#include "console/framework/ApplicationUi.h"

namespace zyr::console {
namespace {

ApplicationUi g_default;
ApplicationUi* g_ui = nullptr;

} // namespace

HRESULT ApplicationUi::AddApplicationPages(CKVTAppl*, IPropertySheetCallback*, LONG_PTR)
{
    return S_OK;
}

HRESULT ApplicationUi::AddGroupPages(CKVTAppl*, CKVTSecGroup*, IPropertySheetCallback*, LONG_PTR)
{
    return S_OK;
}

HRESULT ApplicationUi::AddObjectPages(CKVTAppl*, CKVTApplSecObj*, IPropertySheetCallback*, LONG_PTR)
{
    return S_OK;
}

bool ApplicationUi::RunNewItemDialog(NewItemKind, HWND, NewItemTexts&)
{
    return false;
}

ApplicationUi& CurrentApplicationUi()
{
    return g_ui ? *g_ui : g_default;
}

void SetApplicationUi(ApplicationUi* ui)
{
    g_ui = ui;
}

void ResetApplicationUi()
{
    g_ui = nullptr;
}

} // namespace zyr::console
