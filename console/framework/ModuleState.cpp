#include "console/framework/ModuleState.h"

#include <atomic>

namespace zyr::console {
namespace {

std::atomic<long> g_locks{0};
std::string g_modulePath;

} // namespace

void LockModule()
{
    ++g_locks;
}

void UnlockModule()
{
    --g_locks;
}

long ModuleLockCount()
{
    return g_locks.load();
}

const std::string& ModulePath()
{
    return g_modulePath;
}

void SetModulePath(std::string path)
{
    g_modulePath = std::move(path);
}

std::string ModuleFolder()
{
    size_t slash = g_modulePath.rfind('/');
    return slash == std::string::npos ? std::string() : g_modulePath.substr(0, slash);
}

void ResetModuleState()
{
    g_locks = 0;
    g_modulePath.clear();
}

} // namespace zyr::console
