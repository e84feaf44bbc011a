// A module with one class, loaded by the class-table tests through the
// registry. Only the module target defines ZYR_TEST_COM_MODULE; the test
// program, which globs every source of its folder, sees this file empty.
#ifdef ZYR_TEST_COM_MODULE

#include "platform/com/ClassTable.h"
#include "tests/platform/com/module/TestGreeter.h"

namespace {

class CTestGreeter : public zyr::com::ComObject<ITestGreeter> {
public:
    HRESULT Greet(std::u16string* text) override
    {
        if (text == nullptr) {
            return E_POINTER;
        }
        *text = u"hello from the module";
        return S_OK;
    }
};

class CTestGreeterFactory : public zyr::com::ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override
    {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* greeter = new CTestGreeter;
        HRESULT hr = greeter->QueryInterface(iid, object);
        greeter->Release();
        return hr;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
};

// Registers a class while the module loads, as a snap-in module does from
// its initialisers: the class table is in the middle of loading it then.
const bool g_registeredAtLoad =
    SUCCEEDED(zyr::com::RegisterClass(CLSID_TestLoadTimeClass, [](const IID& iid, void** object) -> HRESULT {
        auto* greeter = new CTestGreeter;
        HRESULT hr = greeter->QueryInterface(iid, object);
        greeter->Release();
        return hr;
    }));

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID& clsid,
                                                                            const IID& iid, void** object)
{
    *object = nullptr;
    if (!(clsid == CLSID_TestGreeter)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    auto* factory = new CTestGreeterFactory;
    HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

#endif
