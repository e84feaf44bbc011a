// The application side's windows in the shapes of the console's seam: the
// pages of applications, groups and objects and the New dialogs.
#pragma once

#include "console/framework/ApplicationUi.h"

namespace zyr::pages {

// The application's pages: CApplPage, then CPermPage.
HRESULT AddApplicationPages(CKVTAppl* application, IPropertySheetCallback* callback, LONG_PTR notifyHandle);
HRESULT AddGroupPages(CKVTAppl* application, CKVTSecGroup* group, IPropertySheetCallback* callback,
                      LONG_PTR notifyHandle);
HRESULT AddObjectPages(CKVTAppl* application, CKVTApplSecObj* object, IPropertySheetCallback* callback,
                       LONG_PTR notifyHandle);

// Fills the hooks of ui with the windows above and the New dialogs.
void AddApplicationWindows(zyr::console::ApplicationUi& ui);
// Installs them for the node logic.
void InstallApplicationWindows();

} // namespace zyr::pages
