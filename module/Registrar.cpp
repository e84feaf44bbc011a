#include "module/Registrar.h"

#include "platform/registry/RegKey.h"

namespace zyr::module {
namespace {

std::string Expand(const std::string& text, const std::string& modulePath)
{
    static const std::string kModule = "%MODULE%";
    std::string out;
    size_t from = 0;
    for (size_t at = text.find(kModule); at != std::string::npos; at = text.find(kModule, from)) {
        out.append(text, from, at - from);
        out += modulePath;
        from = at + kModule.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

HRESULT Result(LONG error)
{
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

HRESULT RegisterKey(HKEY parent, const ScriptKey& entry, const std::string& modulePath)
{
    if (entry.rule == KeyRule::ForceRemove) {
        LONG removed = RegDeleteTreeA(parent, entry.name.c_str());
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
            return Result(removed);
        }
    }
    zyr::registry::RegKey handle;
    HRESULT hr = Result(RegCreateKeyExA(parent, entry.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        handle.Receive(), nullptr));
    if (FAILED(hr)) {
        return hr;
    }
    for (const ScriptValue& value : entry.values) {
        std::string text = Expand(value.text, modulePath);
        hr = Result(RegSetValueExA(handle.get(), value.name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size() + 1)));
        if (FAILED(hr)) {
            return hr;
        }
    }
    for (const ScriptKey& child : entry.keys) {
        hr = RegisterKey(handle.get(), child, modulePath);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

bool IsEmpty(HKEY key)
{
    char name[512];
    DWORD size = sizeof(name);
    if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS) {
        return false;
    }
    size = sizeof(name);
    return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_NO_MORE_ITEMS;
}

HRESULT UnregisterKey(HKEY parent, const ScriptKey& entry)
{
    if (entry.rule == KeyRule::ForceRemove) {
        LONG removed = RegDeleteTreeA(parent, entry.name.c_str());
        return removed == ERROR_FILE_NOT_FOUND ? S_OK : Result(removed);
    }
    bool empty = false;
    {
        zyr::registry::RegKey handle;
        LONG opened = RegOpenKeyExA(parent, entry.name.c_str(), 0, KEY_ALL_ACCESS, handle.Receive());
        if (opened == ERROR_FILE_NOT_FOUND) {
            return S_OK;
        }
        HRESULT hr = Result(opened);
        if (FAILED(hr)) {
            return hr;
        }
        for (const ScriptKey& child : entry.keys) {
            hr = UnregisterKey(handle.get(), child);
            if (FAILED(hr)) {
                return hr;
            }
        }
        if (entry.rule == KeyRule::NoRemove) {
            return S_OK;
        }
        for (const ScriptValue& value : entry.values) {
            LONG deleted = RegDeleteValueA(handle.get(), value.name.c_str());
            if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
                return Result(deleted);
            }
        }
        empty = IsEmpty(handle.get());
    }
    if (!empty) {
        return S_OK; // something else lives there too
    }
    LONG removed = RegDeleteKeyA(parent, entry.name.c_str());
    return removed == ERROR_FILE_NOT_FOUND ? S_OK : Result(removed);
}

} // namespace

HRESULT RegisterScript(const RegistrationScript& script, const std::string& modulePath)
{
    for (const ScriptRoot& root : script) {
        for (const ScriptKey& key : root.keys) {
            HRESULT hr = RegisterKey(root.root, key, modulePath);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    return S_OK;
}

HRESULT UnregisterScript(const RegistrationScript& script)
{
    for (const ScriptRoot& root : script) {
        for (const ScriptKey& key : root.keys) {
            HRESULT hr = UnregisterKey(root.root, key);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    return S_OK;
}

} // namespace zyr::module
