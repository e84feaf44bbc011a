#include "console/framework/StartupHooks.h"

#include "common/StringTable.h"
#include "console/framework/InstalledSeam.h"
#include "platform/ui/UiService.h"

namespace zyr::console {
namespace {

InstalledSeam<StartupHooks> g_hooks;
bool g_signedIn = false;

} // namespace

bool StartupHooks::SignIn(HWND)
{
    ui::Ui().MessageBox(nullptr, "No sign-in step is installed, so the security tree is not shown.",
                        LoadStringAnsi(IDS_PROJNAME), ui::MB_OK | ui::MB_ICONERROR);
    return false;
}

std::unique_ptr<StatusWindow> StartupHooks::OpenStatusWindow(HWND)
{
    return nullptr;
}

HRESULT StartupHooks::AddCompliancePage(IPropertySheetCallback*, LONG_PTR)
{
    return S_OK;
}

StartupHooks& CurrentStartupHooks()
{
    return g_hooks.Current();
}

void SetStartupHooks(StartupHooks* hooks)
{
    g_hooks.Set(hooks);
}

bool IsSignedIn()
{
    return g_signedIn;
}

void SetSignedIn()
{
    g_signedIn = true;
}

void ResetStartupState()
{
    g_hooks.Reset();
    g_signedIn = false;
}

} // namespace zyr::console
