// The start-up steps that show windows: the sign-in dialog, the status
// window and the root's compliance page, in the shapes the start-up hooks
// take.
#pragma once

#include "console/framework/StartupHooks.h"

namespace zyr::pages {

// Runs CLoginDlg modally over parent; true when it ended with OK.
bool RunSignInDialog(HWND parent);
// Shows CStatusDlg over parent; null without a toolkit.
std::unique_ptr<zyr::console::StatusWindow> OpenStatusDialog(HWND parent);
// A new CKVTSnapinPage with the console's notify handle.
IPropertyPage* CreateCompliancePage(LONG_PTR notifyHandle);

// Fills the three window steps of hooks, leaving the others as they are.
void AddDialogSteps(zyr::console::StartupHooks& hooks);

} // namespace zyr::pages
