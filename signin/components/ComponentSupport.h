// What the authentication and authorization modules share: their entries in
// the registry store and the server's authentication and authorization log.
#pragma once

#include "common/ServerSettings.h"
#include "platform/com/ClassFactory.h"

#include <string>

namespace zyr::signin::components {

// Writes HKCR\CLSID\{clsid}\InprocServer32 = the path of the module that holds
// this code, and the ProgID both ways.
HRESULT RegisterModuleClass(const CLSID& clsid, const char* progId);
void UnregisterModuleClass(const CLSID& clsid, const char* progId);

// Adds an entry to the server's log ("?Object=Log&Operation=Add": User,
// Action, Status "Success" or "Failed", Computer). Failures are ignored: the
// log never decides a sign-in.
void AddLogEntry(const std::string& user, const char* action, bool success);

// "DOMAIN\user" as the log and the requests name an operator.
std::string OperatorName(const std::string& domain, const std::string& user);

// DllGetClassObject of a module whose one class T is registered as served.
// The configuration is read afresh for every object.
template <typename T>
HRESULT GetSingleClassObject(const CLSID& served, const CLSID& clsid, const IID& iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!(clsid == served)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return zyr::com::OfferClassObject(
        []() -> IUnknown* {
            zyr::ResetServerSettings();
            return new (std::nothrow) T;
        },
        iid, object);
}

} // namespace zyr::signin::components

// The three exported entries of a module whose one class T is served as
// clsid under progId: DllGetClassObject, DllRegisterServer and
// DllUnregisterServer.
#define ZYR_SINGLE_CLASS_MODULE(T, clsid, progId)                                                            \
    extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(                             \
        const CLSID& requested, const IID& iid, void** object)                                               \
    {                                                                                                        \
        return zyr::signin::components::GetSingleClassObject<T>(clsid, requested, iid, object);              \
    }                                                                                                        \
    extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer()                            \
    {                                                                                                        \
        return zyr::signin::components::RegisterModuleClass(clsid, progId);                                  \
    }                                                                                                        \
    extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer()                          \
    {                                                                                                        \
        zyr::signin::components::UnregisterModuleClass(clsid, progId);                                       \
        return S_OK;                                                                                         \
    }
