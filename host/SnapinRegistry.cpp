#include "host/SnapinRegistry.h"

#include "platform/com/Guid.h"
#include "platform/registry/Registry.h"
#include "platform/text/CodePage.h"

namespace zyr::host {

bool FindStandAloneSnapin(const std::u16string& name, const CLSID* wanted, CLSID& found)
{
    HKEY snapins = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\MMC\\SnapIns", 0, KEY_READ, &snapins) !=
        ERROR_SUCCESS) {
        return false;
    }
    bool ok = false;
    for (DWORD index = 0; !ok; ++index) {
        char keyName[256];
        DWORD size = sizeof(keyName);
        if (RegEnumKeyExA(snapins, index, keyName, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        CLSID clsid{};
        if (!zyr::com::GuidFromString(keyName, clsid)) {
            continue;
        }
        HKEY entry = nullptr;
        if (RegOpenKeyExA(snapins, keyName, 0, KEY_READ, &entry) != ERROR_SUCCESS) {
            continue;
        }
        HKEY standAlone = nullptr;
        bool isStandAlone = RegOpenKeyExA(entry, "StandAlone", 0, KEY_READ, &standAlone) == ERROR_SUCCESS;
        if (isStandAlone) {
            RegCloseKey(standAlone);
        }
        if (isStandAlone) {
            if (wanted != nullptr) {
                ok = clsid == *wanted;
            } else {
                char text[1024];
                ok = zyr::registry::ReadText(entry, "NameString", text, sizeof(text)) &&
                     zyr::text::Widen(text) == name;
            }
        }
        RegCloseKey(entry);
        if (ok) {
            found = clsid;
        }
    }
    RegCloseKey(snapins);
    return ok;
}

bool FindAboutClass(const CLSID& snapin, CLSID& about)
{
    const std::string path = "Software\\Microsoft\\MMC\\SnapIns\\" + zyr::com::GuidToString(snapin);
    HKEY entry = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &entry) != ERROR_SUCCESS) {
        return false;
    }
    char text[128];
    bool ok =
        zyr::registry::ReadText(entry, "About", text, sizeof(text)) && zyr::com::GuidFromString(text, about);
    RegCloseKey(entry);
    return ok;
}

} // namespace zyr::host
