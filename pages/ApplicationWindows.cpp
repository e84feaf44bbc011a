#include "pages/ApplicationWindows.h"

#include "console/framework/NodeHelpers.h"
#include "pages/AccessDialogs.h"
#include "pages/AccessPages.h"
#include "pages/NewItemDialogs.h"
#include "pages/PermPage.h"

#include <new>

namespace zyr::pages {

HRESULT ApplicationWindows::AddApplicationPages(CKVTAppl* application, IPropertySheetCallback* callback,
                                                LONG_PTR notifyHandle)
{
    if (application == nullptr || callback == nullptr) {
        return E_POINTER;
    }
    HRESULT hr =
        zyr::console::AddPropertyPage(callback, new (std::nothrow) CApplPage(notifyHandle, application));
    if (FAILED(hr)) {
        return hr;
    }
    return zyr::console::AddPropertyPage(callback, new (std::nothrow) CPermPage(notifyHandle, application));
}

HRESULT ApplicationWindows::AddGroupPages(CKVTAppl* application, CKVTSecGroup* group,
                                          IPropertySheetCallback* callback, LONG_PTR notifyHandle)
{
    if (application == nullptr || group == nullptr || callback == nullptr) {
        return E_POINTER;
    }
    return zyr::console::AddPropertyPage(callback,
                                         new (std::nothrow) CGroupPage(notifyHandle, application, group));
}

HRESULT ApplicationWindows::AddObjectPages(CKVTAppl* application, CKVTApplSecObj* object,
                                           IPropertySheetCallback* callback, LONG_PTR notifyHandle)
{
    if (application == nullptr || object == nullptr || callback == nullptr) {
        return E_POINTER;
    }
    return zyr::console::AddPropertyPage(callback, new (std::nothrow)
                                                       CApplSecObjPage(notifyHandle, application, object));
}

bool ApplicationWindows::RunNewItemDialog(zyr::console::NewItemKind kind, HWND parent,
                                          zyr::console::NewItemTexts& texts)
{
    return zyr::pages::RunNewItemDialog(kind, parent, &texts);
}

bool ApplicationWindows::ConfirmImport(HWND parent, const CKVTAppl& file, const CKVTApplList& list)
{
    return RunImportPreview(parent, file, list);
}

void ApplicationWindows::ShowWhoHasAccess(HWND parent, const CKVTAppl& application, const CKVTSecGroup* group,
                                          const CKVTApplSecObj* object)
{
    RunWhoHasAccess(parent, application, group, object);
}

void InstallApplicationWindows()
{
    static ApplicationWindows windows;
    zyr::console::SetApplicationUi(&windows);
}

} // namespace zyr::pages
