#include "pages/StartupDialogs.h"

#include "pages/KVTSnapinPage.h"
#include "pages/LoginDlg.h"
#include "pages/StatusDlg.h"
#include "platform/ui/UiService.h"

#include <new>

namespace zyr::pages {

bool RunSignInDialog(HWND parent)
{
    CLoginDlg dialog(parent);
    return dialog.DoModal() == zyr::ui::IDOK;
}

std::unique_ptr<zyr::console::StatusWindow> OpenStatusDialog(HWND parent)
{
    return CStatusDlg::Open(parent);
}

IPropertyPage* CreateCompliancePage(LONG_PTR notifyHandle)
{
    return new (std::nothrow) CKVTSnapinPage(notifyHandle);
}

void AddDialogSteps(zyr::console::StartupHooks& hooks)
{
    hooks.signIn = &RunSignInDialog;
    hooks.openStatusWindow = &OpenStatusDialog;
    hooks.createCompliancePage = &CreateCompliancePage;
}

} // namespace zyr::pages
