// The application side's windows in the shapes of the console's seam: the
// pages of applications, groups and objects and the New dialogs.
#pragma once

#include "console/framework/ApplicationUi.h"

namespace zyr::pages {

class ApplicationWindows : public zyr::console::ApplicationUi {
public:
    // CApplPage, then CPermPage.
    HRESULT AddApplicationPages(CKVTAppl* application, IPropertySheetCallback* callback,
                                LONG_PTR notifyHandle) override;
    // CGroupPage.
    HRESULT AddGroupPages(CKVTAppl* application, CKVTSecGroup* group, IPropertySheetCallback* callback,
                          LONG_PTR notifyHandle) override;
    // CApplSecObjPage.
    HRESULT AddObjectPages(CKVTAppl* application, CKVTApplSecObj* object, IPropertySheetCallback* callback,
                           LONG_PTR notifyHandle) override;
    // The New dialog of the kind.
    bool RunNewItemDialog(zyr::console::NewItemKind kind, HWND parent,
                          zyr::console::NewItemTexts& texts) override;
    // The import preview; OK imports.
    bool ConfirmImport(HWND parent, const CKVTAppl& file, const CKVTApplList& list) override;
    void ShowWhoHasAccess(HWND parent, const CKVTAppl& application, const CKVTSecGroup* group,
                          const CKVTApplSecObj* object) override;
};

// Installs them for the node logic.
void InstallApplicationWindows();

} // namespace zyr::pages
