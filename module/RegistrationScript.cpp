#include "module/RegistrationScript.h"

#include "common/StringTable.h"
#include "console/framework/SnapinIds.h"

namespace zyr::module {
namespace {

constexpr char kSnapinClassName[] = "KVTSnapin Class";
constexpr char kProgId[] = "Tarnwick.ZYR.KVTSnapin.1";
constexpr char kVersionIndependentProgId[] = "Tarnwick.ZYR.KVTSnapin";
constexpr char kAboutProgId[] = "KVTSnapinAbout.2";
constexpr char kAboutVersionIndependentProgId[] = "KVTSnapinAbout";

ScriptKey Key(std::string name, KeyRule rule, std::vector<ScriptValue> values = {},
              std::vector<ScriptKey> keys = {})
{
    return ScriptKey{std::move(name), rule, std::move(values), std::move(keys)};
}

// A key whose default value is text.
ScriptKey DefaultKey(std::string name, std::string text)
{
    return Key(std::move(name), KeyRule::Normal, {{"", std::move(text)}});
}

ScriptKey ProgIdKey(const std::string& name, const std::string& description, const std::string& clsid,
                    const std::string& currentVersion)
{
    ScriptKey key = Key(name, KeyRule::Normal, {{"", description}}, {DefaultKey("CLSID", clsid)});
    if (!currentVersion.empty()) {
        key.keys.push_back(DefaultKey("CurVer", currentVersion));
    }
    return key;
}

} // namespace

RegistrationScript SnapinScript()
{
    const std::string clsid = com::GuidToString(CLSID_KVTSnapin);
    const std::string about = com::GuidToString(CLSID_KVTSnapinAbout);
    const std::string nodeType = com::GuidToString(NODETYPE_KVTSnapinRegistered);
    const std::string libid = com::GuidToString(LIBID_KVTSNAPINLib);

    ScriptKey snapin = Key(clsid, KeyRule::ForceRemove,
                           {{"", "KVTSnapin"}, {"NameString", "ZYR Security Manager"}, {"About", about}},
                           {Key("NodeTypes", KeyRule::Normal, {}, {Key(nodeType, KeyRule::Normal)}),
                            Key("StandAlone", KeyRule::Normal)});
    ScriptKey mmc = Key("MMC", KeyRule::NoRemove, {},
                        {Key("SnapIns", KeyRule::NoRemove, {}, {snapin}),
                         Key("NodeTypes", KeyRule::NoRemove, {}, {Key(nodeType, KeyRule::ForceRemove)})});
    ScriptKey software =
        Key("Software", KeyRule::NoRemove, {}, {Key("Microsoft", KeyRule::NoRemove, {}, {std::move(mmc)})});

    ScriptKey classKey =
        Key(clsid, KeyRule::ForceRemove, {{"", kSnapinClassName}},
            {DefaultKey("ProgID", kProgId), DefaultKey("VersionIndependentProgID", kVersionIndependentProgId),
             DefaultKey("TypeLib", libid),
             Key("InprocServer32", KeyRule::Normal, {{"", "%MODULE%"}, {"ThreadingModel", "Apartment"}})});

    return {
        {HKEY_LOCAL_MACHINE, {std::move(software)}},
        {HKEY_CLASSES_ROOT,
         {ProgIdKey(kProgId, kSnapinClassName, clsid, ""),
          ProgIdKey(kVersionIndependentProgId, kSnapinClassName, clsid, kProgId),
          ProgIdKey("KVTSnapin.KVTSnapin.1", kSnapinClassName, clsid, kProgId),
          ProgIdKey("KVTSnapin.KVTSnapin", kSnapinClassName, clsid, kProgId),
          Key("CLSID", KeyRule::NoRemove, {}, {std::move(classKey)})}},
    };
}

RegistrationScript AboutClassEntries()
{
    const std::string clsid = com::GuidToString(CLSID_KVTSnapinAbout);
    const std::string description = LoadStringAnsi(IDS_SNAPIN_DESCRIPTION);
    ScriptKey classKey =
        Key(clsid, KeyRule::ForceRemove, {{"", description}},
            {DefaultKey("ProgID", kAboutProgId),
             DefaultKey("VersionIndependentProgID", kAboutVersionIndependentProgId),
             Key("InprocServer32", KeyRule::Normal, {{"", "%MODULE%"}, {"ThreadingModel", "both"}})});
    return {
        {HKEY_CLASSES_ROOT,
         {ProgIdKey(kAboutProgId, description, clsid, ""),
          ProgIdKey(kAboutVersionIndependentProgId, description, clsid, kAboutProgId),
          Key("CLSID", KeyRule::NoRemove, {}, {std::move(classKey)})}},
    };
}

RegistrationScript TypeLibraryEntries(const std::string& typeLibraryPath, const std::string& helpFolder)
{
    const std::string libid = com::GuidToString(LIBID_KVTSNAPINLib);
    ScriptKey version = Key("1.0", KeyRule::ForceRemove, {{"", "KVTSnapin 1.0 Type Library"}},
                            {Key("0", KeyRule::Normal, {}, {DefaultKey("linux", typeLibraryPath)}),
                             DefaultKey("FLAGS", "0"), DefaultKey("HELPDIR", helpFolder)});
    return {
        {HKEY_CLASSES_ROOT,
         {Key("TypeLib", KeyRule::NoRemove, {}, {Key(libid, KeyRule::Normal, {}, {std::move(version)})})}},
    };
}

} // namespace zyr::module
