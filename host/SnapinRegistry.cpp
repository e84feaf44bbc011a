#include "host/SnapinRegistry.h"

#include "platform/com/Guid.h"
#include "platform/registry/RegKey.h"
#include "platform/registry/Registry.h"
#include "platform/text/CodePage.h"

namespace zyr::host {

bool FindStandAloneSnapin(const std::u16string& name, const CLSID* wanted, CLSID& found)
{
    zyr::registry::RegKey snapins;
    if (snapins.Open(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\MMC\\SnapIns", KEY_READ) != ERROR_SUCCESS) {
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
        zyr::registry::RegKey entry;
        if (entry.Open(snapins, keyName, KEY_READ) != ERROR_SUCCESS) {
            continue;
        }
        if (zyr::registry::RegKey standAlone;
            standAlone.Open(entry, "StandAlone", KEY_READ) == ERROR_SUCCESS) {
            if (wanted != nullptr) {
                ok = clsid == *wanted;
            } else {
                char text[1024];
                ok = zyr::registry::ReadText(entry, "NameString", text, sizeof(text)) &&
                     zyr::text::Widen(text) == name;
            }
        }
        if (ok) {
            found = clsid;
        }
    }
    return ok;
}

// The class of the snap-in's about object, from its "About" value.
bool FindAboutClass(const CLSID& snapin, CLSID& about)
{
    const std::string path = "Software\\Microsoft\\MMC\\SnapIns\\" + zyr::com::GuidToString(snapin);
    zyr::registry::RegKey entry;
    if (entry.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ) != ERROR_SUCCESS) {
        return false;
    }
    char text[128];
    return zyr::registry::ReadText(entry, "About", text, sizeof(text)) &&
           zyr::com::GuidFromString(text, about);
}

} // namespace zyr::host
