#include "signin/components/ComponentSupport.h"

#include "platform/registry/Registry.h"
#include "security/common/ServerSettings.h"
#include "security/common/web/SecurityPost.h"

#include <dlfcn.h>

namespace zyr::signin::components {

namespace {

bool SetDefault(const std::string& keyName, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG rc = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::string ModulePath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return info.dli_fname;
}

void AddFormField(std::string& body, const char* key, const std::string& value)
{
    static const char kHex[] = "0123456789ABCDEF";
    if (!body.empty()) {
        body += '&';
    }
    body += key;
    body += '=';
    for (unsigned char c : value) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.' || c == '~';
        if (plain) {
            body += static_cast<char>(c);
        } else {
            body += '%';
            body += kHex[c >> 4];
            body += kHex[c & 0xF];
        }
    }
}

} // namespace

HRESULT RegisterModuleClass(const CLSID& clsid, const char* progId)
{
    std::string path = ModulePath();
    if (path.empty()) {
        return E_UNEXPECTED;
    }
    std::string text = zyr::com::GuidToString(clsid);
    if (!SetDefault("CLSID\\" + text + "\\InprocServer32", path) ||
        !SetDefault("CLSID\\" + text + "\\ProgID", progId) ||
        !SetDefault(std::string(progId) + "\\CLSID", text)) {
        return E_FAIL;
    }
    return S_OK;
}

void UnregisterModuleClass(const CLSID& clsid, const char* progId)
{
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + zyr::com::GuidToString(clsid)).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, progId);
}

std::string OperatorName(const std::string& domain, const std::string& user)
{
    return domain + "\\" + user;
}

void AddLogEntry(const std::string& user, const char* action, bool success)
{
    char url[1024] = {};
    DWORD size = sizeof(url);
    if (FAILED(GetSecurityServerUrl(url, &size)) || url[0] == '\0') {
        return;
    }
    std::string body;
    AddFormField(body, "User", user);
    AddFormField(body, "Action", action);
    AddFormField(body, "Status", success ? "Success" : "Failed");
    AddFormField(body, "Computer", GetLocalComputerName());
    PostSecurityRequest(std::string(url) + "?Object=Log&Operation=Add", body);
}

} // namespace zyr::signin::components
