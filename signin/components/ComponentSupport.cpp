#include "signin/components/ComponentSupport.h"

#include "common/ServerSettings.h"
#include "platform/com/ClassTable.h"
#include "platform/registry/Registry.h"
#include "web/SecurityPost.h"

namespace zyr::signin::components {

namespace {

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
    std::string path = zyr::com::ModulePathOf(reinterpret_cast<const void*>(&RegisterModuleClass));
    if (path.empty()) {
        return E_UNEXPECTED;
    }
    return zyr::com::RegisterInprocClass(clsid, progId, path) ? S_OK : E_FAIL;
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
