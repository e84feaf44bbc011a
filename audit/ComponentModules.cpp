#include "audit/ComponentModules.h"

#include "common/ErrorTrace.h"

#include <dlfcn.h>

namespace zyr::audit {

namespace {

HRESULT CallEntry(const std::string& path, const char* entry)
{
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        DebugPrint("Cannot load component module %s: %s\n", path.c_str(), dlerror());
        return E_FAIL;
    }
    auto function = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
    HRESULT hr = function != nullptr ? function() : E_FAIL;
    // The module stays loaded: the class table may hand out its objects.
    return hr;
}

} // namespace

HRESULT RegisterComponentModule(const std::string& path)
{
    return CallEntry(path, "DllRegisterServer");
}

HRESULT UnregisterComponentModule(const std::string& path)
{
    return CallEntry(path, "DllUnregisterServer");
}

} // namespace zyr::audit
