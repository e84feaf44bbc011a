#include "pages/StartupDialogs.h"

#include "console/framework/NodeHelpers.h"
#include "pages/KVTSnapinPage.h"
#include "pages/LoginDlg.h"
#include "pages/StatusDlg.h"
#include "platform/ui/UiService.h"

#include <new>

namespace zyr::pages {

bool StartupDialogs::SignIn(HWND parent)
{
    CLoginDlg dialog(parent);
    return dialog.DoModal() == zyr::ui::IDOK;
}

std::unique_ptr<zyr::console::StatusWindow> StartupDialogs::OpenStatusWindow(HWND parent)
{
    return CStatusDlg::Open(parent);
}

HRESULT StartupDialogs::AddCompliancePage(IPropertySheetCallback* callback, LONG_PTR notifyHandle)
{
    return zyr::console::AddPropertyPage(callback, new (std::nothrow) CKVTSnapinPage(notifyHandle));
}

} // namespace zyr::pages
