#include "tests/support/PreloadWrappers.h"

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <link.h>

namespace zyr::test {
namespace {

// The first line that a command writes, without its line end; empty when it
// fails or writes nothing.
std::string FirstLine(const std::string& command)
{
    std::FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    char buffer[4096] = {};
    std::string line = std::fgets(buffer, sizeof buffer, pipe) != nullptr ? buffer : "";
    ::pclose(pipe);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// The path the dynamic loader loads soname from, or empty.
std::string LoaderPath(const char* soname)
{
    void* handle = ::dlopen(soname, RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) {
        return {};
    }
    std::string path;
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) {
        path = map->l_name;
    }
    ::dlclose(handle);
    return path;
}

WrapperPath Checked(std::string path, bool installed, const char* what)
{
    WrapperPath found;
    found.installed = installed || !path.empty();
    found.path = std::move(path);
    if (found.path.empty() || !std::filesystem::exists(found.path)) {
        found.problem = found.installed
                            ? std::string(what) + " is installed, but not found (" + found.path + ")"
                            : std::string(what) + " is not installed";
        found.path.clear();
    }
    return found;
}

} // namespace

WrapperPath NssWrapperLibrary()
{
    // nss_wrapper.pc names the library itself in its Libs.
    std::string path = FirstLine("pkg-config --libs nss_wrapper");
    const bool known = !path.empty();
    if (!known) {
        path = LoaderPath("libnss_wrapper.so");
    }
    return Checked(path, known, "nss_wrapper");
}

WrapperPath PamMatrixModule()
{
    std::string modules = FirstLine("pkg-config --variable=modules pam_wrapper");
    const bool known = !modules.empty();
    if (!known) {
        const std::string library = LoaderPath("libpam_wrapper.so");
        if (!library.empty()) {
            modules = std::filesystem::path(library).parent_path() / "pam_wrapper";
        }
    }
    return Checked(modules.empty() ? std::string() : modules + "/pam_matrix.so", known, "pam_matrix");
}

} // namespace zyr::test
