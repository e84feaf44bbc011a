#include "pages/ApplicationWindows.h"

#include "console/framework/NodeHelpers.h"
#include "pages/AccessPages.h"
#include "pages/NewItemDialogs.h"
#include "pages/PermPage.h"

#include <new>

namespace zyr::pages {

HRESULT AddApplicationPages(CKVTAppl* application, IPropertySheetCallback* callback, LONG_PTR notifyHandle)
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

HRESULT AddGroupPages(CKVTAppl* application, CKVTSecGroup* group, IPropertySheetCallback* callback,
                      LONG_PTR notifyHandle)
{
    if (application == nullptr || group == nullptr || callback == nullptr) {
        return E_POINTER;
    }
    return zyr::console::AddPropertyPage(callback,
                                         new (std::nothrow) CGroupPage(notifyHandle, application, group));
}

HRESULT AddObjectPages(CKVTAppl* application, CKVTApplSecObj* object, IPropertySheetCallback* callback,
                       LONG_PTR notifyHandle)
{
    if (application == nullptr || object == nullptr || callback == nullptr) {
        return E_POINTER;
    }
    return zyr::console::AddPropertyPage(callback, new (std::nothrow)
                                                       CApplSecObjPage(notifyHandle, application, object));
}

void AddApplicationWindows(zyr::console::ApplicationUi& ui)
{
    ui.addApplicationPages = &AddApplicationPages;
    ui.addGroupPages = &AddGroupPages;
    ui.addObjectPages = &AddObjectPages;
    ui.runNewItemDialog = &RunNewItemDialog;
}

void InstallApplicationWindows()
{
    zyr::console::ApplicationUi ui;
    AddApplicationWindows(ui);
    zyr::console::SetApplicationUi(ui);
}

} // namespace zyr::pages
