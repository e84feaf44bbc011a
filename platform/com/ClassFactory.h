// The class object that every module hands out from DllGetClassObject: it
// makes instances with a function, refuses aggregation (no class here keeps a
// controlling outer object) and passes LockServer to an optional hook.
#pragma once

#include "platform/com/Unknown.h"

#include <new>
#include <utility>

namespace zyr::com {

// Make is called as IUnknown* make() and answers a new object with one
// reference, or null when it could not be made.
template <typename Make>
class ClassFactory : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(Make make, void (*lock)(bool) = nullptr) : make_(std::move(make)), lock_(lock) {}

    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        IUnknown* created = make_();
        if (created == nullptr) {
            return E_OUTOFMEMORY;
        }
        HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }

    HRESULT LockServer(BOOL lock) override
    {
        if (lock_ != nullptr) {
            lock_(lock != 0);
        }
        return S_OK;
    }

private:
    Make make_;
    void (*lock_)(bool);
};

// A new class object over make, asked for iid.
template <typename Make>
HRESULT OfferClassObject(Make make, const IID& iid, void** object, void (*lock)(bool) = nullptr)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    auto* factory = new (std::nothrow) ClassFactory<Make>(std::move(make), lock);
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

} // namespace zyr::com
