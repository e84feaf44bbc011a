#include "console/framework/StartupHooks.h"

namespace zyr::console {
namespace {

StartupHooks g_hooks;
bool g_signedIn = false;

} // namespace

void SetStartupHooks(const StartupHooks& hooks)
{
    g_hooks = hooks;
}

const StartupHooks& CurrentStartupHooks()
{
    return g_hooks;
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
    g_hooks = StartupHooks();
    g_signedIn = false;
}

} // namespace zyr::console
