#include "console/framework/ModuleState.h"

#include <atomic>

namespace zyr::console {
namespace {

std::atomic<long> g_locks{0};
// A function-local object, so that a module start that runs before this
// file's statics are made still finds it.
std::string& PathSlot()
{
    static std::string path;
    return path;
}

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
    return PathSlot();
}

void SetModulePath(std::string path)
{
    PathSlot() = std::move(path);
}

std::string ModuleFolder()
{
    const std::string& path = PathSlot();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void ResetModuleState()
{
    g_locks = 0;
    PathSlot().clear();
}

} // namespace zyr::console
