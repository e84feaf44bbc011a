// What the authentication and authorization modules share: their entries in
// the registry store and the server's authentication and authorization log.
#pragma once

#include "platform/com/Unknown.h"
#include "security/common/ServerSettings.h"

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

// The class object of a module that serves the one class T. The configuration
// is read afresh for every object.
template <typename T>
class SingleClassFactory : public zyr::com::ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        zyr::ResetServerSettings();
        auto* created = new T;
        HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
};

// DllGetClassObject of a module whose one class T is registered as served.
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
    auto* factory = new SingleClassFactory<T>;
    HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

} // namespace zyr::signin::components
