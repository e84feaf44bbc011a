#include "console/framework/ApplicationUi.h"

#include "console/framework/InstalledSeam.h"

namespace zyr::console {
namespace {

InstalledSeam<ApplicationUi> g_ui;

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

bool ApplicationUi::ConfirmImport(HWND, const CKVTAppl&, const CKVTApplList&)
{
    return true;
}

void ApplicationUi::ShowWhoHasAccess(HWND, const CKVTAppl&, const CKVTSecGroup*, const CKVTApplSecObj*) {}

ApplicationUi& CurrentApplicationUi()
{
    return g_ui.Current();
}

void SetApplicationUi(ApplicationUi* ui)
{
    g_ui.Set(ui);
}

void ResetApplicationUi()
{
    g_ui.Reset();
}

} // namespace zyr::console
