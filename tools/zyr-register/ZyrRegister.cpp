// zyr-register [/u] MODULE.so: loads a COM module and calls its
// DllRegisterServer (or, with /u, DllUnregisterServer), as regsvr32 does.
// Exits 0 on success and 1 on failure, with a message either way.
#include "platform/com/WinTypes.h"

#include "ZyrVersion.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using EntryPoint = HRESULT (*)();

void Usage(FILE* to)
{
    std::fputs("usage: zyr-register [/u] MODULE.so\n"
               "\n"
               "Registers the module's classes in the registry store.\n"
               "\n"
               "Options:\n"
               "  /u, -u      remove the module's classes instead\n"
               "  --help, -h  this text\n"
               "  --version   the program's version\n",
               to);
}

bool IsHelpSwitch(const char* arg)
{
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "/?") == 0;
}

bool IsUnregisterSwitch(const char* arg)
{
    return std::strcmp(arg, "/u") == 0 || std::strcmp(arg, "/U") == 0 || std::strcmp(arg, "-u") == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (zyr::PrintVersion(argc, argv, "zyr-register")) {
        return 0;
    }
    bool unregister = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (IsHelpSwitch(argv[i])) {
            Usage(stdout);
            return 0;
        }
        if (IsUnregisterSwitch(argv[i])) {
            unregister = true;
        } else if (path == nullptr && argv[i][0] != '\0' && argv[i][0] != '-') {
            path = argv[i];
        } else {
            Usage(stderr);
            return 1;
        }
    }
    if (path == nullptr) {
        Usage(stderr);
        return 1;
    }
    // A bare file name would make dlopen search the library path.
    std::string file = std::strchr(path, '/') != nullptr ? path : std::string("./") + path;
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "zyr-register: the module \"%s\" failed to load.\n%s\n", path, dlerror());
        return 1;
    }
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<EntryPoint>(dlsym(module, entryName));
    if (entry == nullptr) {
        std::fprintf(stderr,
                     "zyr-register: the module \"%s\" was loaded but the entry-point %s was not found.\n",
                     path, entryName);
        return 1;
    }
    HRESULT hr = entry();
    if (FAILED(hr)) {
        std::fprintf(stderr, "zyr-register: the call to %s in \"%s\" failed with error code 0x%08X.\n",
                     entryName, path, static_cast<unsigned>(hr));
        return 1;
    }
    std::printf("%s in %s succeeded.\n", entryName, path);
    // The module stays loaded until the process ends: unloading a module that
    // brought libraries of its own gains nothing here.
    return 0;
}
