#include "signin/components/ComponentSupport.h"

#include "common/ServerSettings.h"
#include "platform/com/ClassTable.h"
#include "platform/registry/Registry.h"
#include "platform/text/Escape.h"
#include "web/SecurityPost.h"

namespace zyr::signin::components {

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
    zyr::text::AppendFormField(body, "User", user);
    zyr::text::AppendFormField(body, "Action", action);
    zyr::text::AppendFormField(body, "Status", success ? "Success" : "Failed");
    zyr::text::AppendFormField(body, "Computer", GetLocalComputerName());
    PostSecurityRequest(std::string(url) + "?Object=Log&Operation=Add", body);
}

} // namespace zyr::signin::components
