// The entry points of the module, exported with C linkage.
#include "console/framework/ModuleState.h"
#include "module/KVTSnapinApp.h"
#include "module/ModuleRegistration.h"

#define ZYR_EXPORT extern "C" __attribute__((visibility("default")))

ZYR_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object)
{
    return zyr::module::GetClassObject(clsid, iid, object);
}

ZYR_EXPORT HRESULT DllCanUnloadNow()
{
    return zyr::console::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

ZYR_EXPORT HRESULT DllRegisterServer()
{
    return zyr::module::RegisterServer();
}

ZYR_EXPORT HRESULT DllUnregisterServer()
{
    return zyr::module::UnregisterServer();
}

ZYR_EXPORT HRESULT SetSecurityServer(const char16_t* accessKey, const char16_t* serverUrl)
{
    return zyr::module::ForwardSetSecurityServer(accessKey, serverUrl);
}
