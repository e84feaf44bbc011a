// The start-up steps that show windows: the sign-in dialog, the status
// window and the root's compliance page. The layer that installs the steps
// adds the loading of the role list.
#pragma once

#include "console/framework/StartupHooks.h"

namespace zyr::pages {

class StartupDialogs : public zyr::console::StartupHooks {
public:
    // Runs CLoginDlg modally over parent; true when it ended with OK.
    bool SignIn(HWND parent) override;
    // Shows CStatusDlg over parent; null without a toolkit.
    std::unique_ptr<zyr::console::StatusWindow> OpenStatusWindow(HWND parent) override;
    // A new CKVTSnapinPage with the console's notify handle.
    HRESULT AddCompliancePage(IPropertySheetCallback* callback, LONG_PTR notifyHandle) override;
};

} // namespace zyr::pages
