// Prints the effective configuration: what the console would read from the
// registry store and the operating system on this machine, at this moment.
#include "common/ServerSettings.h"
#include "platform/registry/Registry.h"
#include "platform/text/CodePage.h"

#include "ZyrVersion.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kFrameworkKey = "SOFTWARE\\Tarnwick\\ZYR";

// A number value of the framework's key, when present.
bool ReadFrameworkNumber(const char* name, DWORD& value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFrameworkKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool found = zyr::registry::ReadDword(key, name, value);
    RegCloseKey(key);
    return found;
}

const char* OnOff(bool on)
{
    return on ? "on" : "off";
}

void Line(const char* label, const std::string& value)
{
    std::printf("  %-18s %s\n", label, value.c_str());
}

void Usage()
{
    std::printf("usage: zyr-config [--help | --version]\n"
                "Prints the configuration of the ZYR Security Manager on this machine: the security\n"
                "server, the cache directory, the computer and the operator, the code page and the\n"
                "switches. The registry store is found as the console finds it (ZYR_REGISTRY_DIR).\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (zyr::PrintVersion(argc, argv, "zyr-config")) {
        return 0;
    }
    if (argc > 1) {
        bool help = std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0;
        Usage();
        return help ? 0 : 2;
    }

    char url[260];
    DWORD urlSize = sizeof(url);
    bool urlRead = SUCCEEDED(GetSecurityServerUrl(url, &urlSize)) && url[0] != '\0';

    char cache[260];
    DWORD cacheSize = sizeof(cache);
    bool cacheRead = SUCCEEDED(GetCachePath(cache, &cacheSize));

    bool directoryClient = false;
    IsNovellClient(&directoryClient);

    std::string user;
    GetFullUserName(user);

    DWORD timeOut = 0;
    bool timeOutSet = ReadFrameworkNumber("HTTPTimeOut", timeOut);
    DWORD networkTest = 0;
    bool networkTestSet = ReadFrameworkNumber("NetworkTest", networkTest);

    const zyr::registry::Location& location = zyr::registry::CurrentLocation();

    std::printf("ZYR Security Manager configuration\n");
    Line("Registry:", location.machineDir);
    Line("Server URL:", urlRead ? std::string(url) : "(not set)");
    Line("Cache directory:", cacheRead ? std::string(cache) : "(not usable)");
    Line("Computer name:", GetLocalComputerName());
    Line("Logon user:", user.empty() ? "(unknown)" : user);
    UINT codePage = zyr::text::ActiveCodePage();
    Line("Code page:",
         std::to_string(codePage) + (codePage == zyr::text::CP_UTF8 ? " (UTF-8)" : " (Windows-1252)"));
    std::printf("Switches\n");
    Line("Event logging:", OnOff(zyr::EventLoggingOn()));
    Line("Directory client:", OnOff(directoryClient));
    Line("HTTP time-out:",
         timeOutSet ? std::to_string(static_cast<LONG>(timeOut)) + " seconds" : "(not set)");
    Line("Network test:", OnOff(networkTestSet && networkTest != 0));
    return 0;
}
