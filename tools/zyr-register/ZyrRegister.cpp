// zyr-register [/u] MODULE.so: loads a COM module and calls its
// DllRegisterServer (or, with /u, DllUnregisterServer), as regsvr32 does.
// Exits 0 on success and 1 on failure, with a message either way.
#include "platform/com/WinTypes.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using EntryPoint = HRESULT (*)();

void Usage()
{
    std::fprintf(stderr, "usage: zyr-register [/u] MODULE.so\n"
                         "  registers the module's classes in the registry store; /u removes them\n");
}

bool IsUnregisterSwitch(const char* arg)
{
    return std::strcmp(arg, "/u") == 0 || std::strcmp(arg, "/U") == 0 || std::strcmp(arg, "-u") == 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (IsUnregisterSwitch(argv[i])) {
            unregister = true;
        } else if (path == nullptr && argv[i][0] != '\0') {
            path = argv[i];
        } else {
            Usage();
            return 1;
        }
    }
    if (path == nullptr) {
        Usage();
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
