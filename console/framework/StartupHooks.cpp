#include "console/framework/StartupHooks.h"

#include "console/framework/InstalledSeam.h"

namespace zyr::console {
namespace {

InstalledSeam<StartupHooks> g_hooks;
bool g_signedIn = false;

} // namespace

bool StartupHooks::SignIn(HWND)
{
    return true;
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
