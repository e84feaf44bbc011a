#include "platform/com/ClassTable.h"

#include "platform/registry/RegKey.h"
#include "platform/text/CodePage.h"

#include <dlfcn.h>

#include <cstring>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace zyr::com {

namespace {

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

struct ClassTableState {
    std::mutex lock;                             // the registered classes
    std::map<GUID, IUnknown*, GuidLess> classes; // one reference each
    // Loads are serialised by their own lock: a module's initialisers may
    // register classes while it loads, which takes the classes' lock.
    std::mutex loading;
    std::map<std::string, DllGetClassObjectFunction> modules;
};

ClassTableState& State()
{
    static ClassTableState state;
    return state;
}

class MakerFactory : public ComObject<IClassFactory> {
public:
    explicit MakerFactory(InstanceMaker maker) : maker_(std::move(maker)) {}
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        return maker_(iid, object);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    InstanceMaker maker_;
};

IUnknown* FindRegistered(const CLSID& clsid)
{
    ClassTableState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    auto it = state.classes.find(clsid);
    if (it == state.classes.end()) {
        return nullptr;
    }
    it->second->AddRef();
    return it->second;
}

// The default value of HKCR\CLSID\{...}\InprocServer32; false when absent.
bool InprocServerPath(const CLSID& clsid, std::string& path)
{
    std::string keyName = "CLSID\\" + GuidToString(clsid) + "\\InprocServer32";
    registry::RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, keyName.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[4096];
    bool found = registry::ReadText(key, "", buffer, sizeof(buffer));
    key.Close();
    if (!found || buffer[0] == '\0') {
        return false;
    }
    path = buffer;
    return true;
}

DllGetClassObjectFunction LoadModule(const std::string& path)
{
    ClassTableState& state = State();
    std::lock_guard<std::mutex> guard(state.loading);
    auto it = state.modules.find(path);
    if (it != state.modules.end()) {
        return it->second;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return nullptr;
    }
    auto entry = reinterpret_cast<DllGetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
    if (entry == nullptr) {
        dlclose(handle);
        return nullptr;
    }
    // Modules are never unloaded: objects they made may outlive any table.
    state.modules.emplace(path, entry);
    return entry;
}

} // namespace

HRESULT RegisterClassObject(const CLSID& clsid, IUnknown* classObject)
{
    if (classObject == nullptr) {
        return E_POINTER;
    }
    classObject->AddRef();
    IUnknown* previous = nullptr;
    {
        ClassTableState& state = State();
        std::lock_guard<std::mutex> guard(state.lock);
        IUnknown*& slot = state.classes[clsid];
        previous = slot;
        slot = classObject;
    }
    if (previous != nullptr) {
        previous->Release();
    }
    return S_OK;
}

HRESULT RegisterClass(const CLSID& clsid, InstanceMaker maker)
{
    if (!maker) {
        return E_INVALIDARG;
    }
    auto* factory = new MakerFactory(std::move(maker));
    HRESULT hr = RegisterClassObject(clsid, factory);
    factory->Release();
    return hr;
}

void RevokeClassObject(const CLSID& clsid)
{
    IUnknown* previous = nullptr;
    {
        ClassTableState& state = State();
        std::lock_guard<std::mutex> guard(state.lock);
        auto it = state.classes.find(clsid);
        if (it == state.classes.end()) {
            return;
        }
        previous = it->second;
        state.classes.erase(it);
    }
    previous->Release();
}

void ResetClassTable()
{
    std::vector<IUnknown*> released;
    {
        ClassTableState& state = State();
        std::lock_guard<std::mutex> guard(state.lock);
        for (auto& entry : state.classes) {
            released.push_back(entry.second);
        }
        state.classes.clear();
    }
    {
        ClassTableState& state = State();
        std::lock_guard<std::mutex> guard(state.loading);
        state.modules.clear();
    }
    for (IUnknown* object : released) {
        object->Release();
    }
}

HRESULT GetClassObjectFromModule(std::string_view path, const CLSID& clsid, const IID& iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    DllGetClassObjectFunction entry = LoadModule(std::string(path));
    if (entry == nullptr) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    HRESULT hr = entry(clsid, iid, object);
    if (FAILED(hr)) {
        *object = nullptr;
    }
    return hr;
}

} // namespace zyr::com

using namespace zyr::com;

HRESULT CoGetClassObject(const CLSID& clsid, DWORD context, const IID& iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if ((context & CLSCTX_ALL) == 0) {
        return E_INVALIDARG;
    }
    if (IUnknown* registered = FindRegistered(clsid)) {
        HRESULT hr = registered->QueryInterface(iid, object);
        registered->Release();
        return hr;
    }
    std::string path;
    if (!InprocServerPath(clsid, path)) {
        return REGDB_E_CLASSNOTREG;
    }
    return GetClassObjectFromModule(path, clsid, iid, object);
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, DWORD context, const IID& iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        return hr;
    }
    hr = factory->CreateInstance(nullptr, iid, object);
    factory->Release();
    if (FAILED(hr)) {
        *object = nullptr;
    }
    return hr;
}

HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid)
{
    if (text == nullptr || clsid == nullptr) {
        return E_INVALIDARG;
    }
    return GuidFromWide(text, *clsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT CLSIDFromProgIDA(const char* progId, CLSID* clsid)
{
    if (progId == nullptr || clsid == nullptr) {
        return E_INVALIDARG;
    }
    *clsid = GUID_NULL;
    std::string name = progId;
    // A version-independent ProgID names its current version under CurVer;
    // a short chain is followed, a loop is not.
    for (int hop = 0; hop < 8 && !name.empty(); ++hop) {
        zyr::registry::RegKey key;
        if (key.Open(HKEY_CLASSES_ROOT, name.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) {
            return CO_E_CLASSSTRING;
        }
        char text[256];
        zyr::registry::RegKey sub;
        if (sub.Open(key, "CLSID", KEY_QUERY_VALUE) == ERROR_SUCCESS &&
            zyr::registry::ReadText(sub, "", text, sizeof(text))) {
            return GuidFromString(text, *clsid) ? S_OK : CO_E_CLASSSTRING;
        }
        bool next = sub.Open(key, "CurVer", KEY_QUERY_VALUE) == ERROR_SUCCESS &&
                    zyr::registry::ReadText(sub, "", text, sizeof(text));
        if (!next || zyr::text::EqualsNoCase(text, name)) {
            return CO_E_CLASSSTRING;
        }
        name = text;
    }
    return CO_E_CLASSSTRING;
}

HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid)
{
    if (progId == nullptr || clsid == nullptr) {
        return E_INVALIDARG;
    }
    std::string narrow;
    for (const char16_t* p = progId; *p != 0; ++p) {
        if (*p > 0x7F) {
            *clsid = GUID_NULL;
            return CO_E_CLASSSTRING; // ProgIDs are plain ASCII names
        }
        narrow.push_back(static_cast<char>(*p));
    }
    return CLSIDFromProgIDA(narrow.c_str(), clsid);
}

namespace zyr::com {
namespace {

bool SetClassesRootDefault(const std::string& keyName, const std::string& value)
{
    registry::RegKey key;
    if (key.Create(HKEY_CLASSES_ROOT, keyName.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

} // namespace

std::string ModulePathOf(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return info.dli_fname;
}

bool RegisterInprocClass(const CLSID& clsid, const char* progId, const std::string& modulePath)
{
    std::string text = GuidToString(clsid);
    return SetClassesRootDefault("CLSID\\" + text + "\\InprocServer32", modulePath) &&
           SetClassesRootDefault("CLSID\\" + text + "\\ProgID", progId) &&
           SetClassesRootDefault(std::string(progId) + "\\CLSID", text);
}

} // namespace zyr::com
