#include "module/ModuleRegistration.h"

#include "common/ServerSettings.h"
#include "console/framework/ModuleState.h"
#include "module/KVTSnapinApp.h"
#include "module/RegistrationScript.h"

#include <filesystem>

namespace zyr::module {
namespace {

std::string TypeLibraryPath()
{
    return console::ModuleFolder() + "/" + kTypeLibraryFile;
}

} // namespace

HRESULT RegisterServer()
{
    TheApp().InitInstance();
    const std::string& path = console::ModulePath();
    if (path.empty()) {
        return E_UNEXPECTED;
    }
    HRESULT hr = RegisterScript(SnapinScript(), path);
    if (SUCCEEDED(hr)) {
        hr = RegisterScript(AboutClassEntries(), path);
    }
    if (SUCCEEDED(hr)) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(TypeLibraryPath(), error)) {
            return TYPE_E_CANTLOADLIBRARY;
        }
        hr = RegisterScript(TypeLibraryEntries(TypeLibraryPath(), console::ModuleFolder()), path);
    }
    return hr;
}

HRESULT UnregisterServer()
{
    TheApp().InitInstance();
    HRESULT hr = UnregisterScript(SnapinScript());
    if (SUCCEEDED(hr)) {
        hr = UnregisterScript(AboutClassEntries());
    }
    if (SUCCEEDED(hr)) {
        hr = UnregisterScript(TypeLibraryEntries(TypeLibraryPath(), console::ModuleFolder()));
    }
    return hr;
}

HRESULT ForwardSetSecurityServer(const char16_t* accessKey, const char16_t* serverUrl)
{
    return ::SetSecurityServer(accessKey, serverUrl);
}

} // namespace zyr::module
