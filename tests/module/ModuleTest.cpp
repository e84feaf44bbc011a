#include "console/framework/SnapinIds.h"
#include "platform/com/ClassTable.h"
#include "tests/platform/TempRegistry.h"
#include "tests/support/ScriptedConsole.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>

using zyr::com::ComPtr;
using zyr::com::GuidToString;
using zyr::testing::ScriptedConsole;
using zyr::testing::TempRegistry;

namespace {

using EntryPoint = HRESULT (*)();

const std::string kSnapinKey = "Software\\Microsoft\\MMC\\SnapIns\\" + GuidToString(CLSID_KVTSnapin);
const std::string kNodeTypeKey =
    "Software\\Microsoft\\MMC\\NodeTypes\\" + GuidToString(NODETYPE_KVTSnapinRegistered);
const std::string kClassKey = "CLSID\\" + GuidToString(CLSID_KVTSnapin);
const std::string kAboutKey = "CLSID\\" + GuidToString(CLSID_KVTSnapinAbout);
const std::string kTypeLibKey = "TypeLib\\" + GuidToString(LIBID_KVTSNAPINLib);

bool KeyExists(HKEY root, const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string Text(HKEY root, const std::string& name, const char* value = "")
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "<no key>";
    }
    char buffer[1024] = {};
    bool found = zyr::registry::ReadText(key, value, buffer, sizeof(buffer));
    RegCloseKey(key);
    return found ? buffer : "<no value>";
}

class ModuleTest : public ::testing::Test {
protected:
    // The module stays loaded for the whole program, as in a console process
    // (unloading it would also unload the toolkit it brings).
    ModuleTest() : module_(dlopen(ZYR_SNAPIN_MODULE_PATH, RTLD_NOW | RTLD_LOCAL))
    {
        EXPECT_NE(nullptr, module_) << dlerror();
    }
    ~ModuleTest() override { zyr::com::ResetClassTable(); }

    HRESULT Call(const char* name)
    {
        auto entry = reinterpret_cast<EntryPoint>(dlsym(module_, name));
        return entry != nullptr ? entry() : E_FAIL;
    }

    std::string ModulePath() const
    {
        char* full = realpath(ZYR_SNAPIN_MODULE_PATH, nullptr);
        std::string path = full != nullptr ? full : "";
        std::free(full);
        return path;
    }

    TempRegistry registry;
    void* module_;
};

TEST_F(ModuleTest, RegistrationWritesTheSnapinTheClassesAndTheTypeLibrary)
{
    ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    EXPECT_EQ("KVTSnapin", Text(HKEY_LOCAL_MACHINE, kSnapinKey));
    EXPECT_EQ("ZYR Security Manager", Text(HKEY_LOCAL_MACHINE, kSnapinKey, "NameString"));
    EXPECT_EQ(GuidToString(CLSID_KVTSnapinAbout), Text(HKEY_LOCAL_MACHINE, kSnapinKey, "About"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSnapinKey + "\\StandAlone"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE,
                          kSnapinKey + "\\NodeTypes\\" + GuidToString(NODETYPE_KVTSnapinRegistered)));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kNodeTypeKey));

    EXPECT_EQ("KVTSnapin Class", Text(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_EQ(ModulePath(), Text(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"));
    EXPECT_EQ("Apartment", Text(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"));
    EXPECT_EQ("Tarnwick.ZYR.KVTSnapin.1", Text(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID"));
    EXPECT_EQ(GuidToString(LIBID_KVTSNAPINLib), Text(HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib"));

    EXPECT_EQ("ZYR Security Manager", Text(HKEY_CLASSES_ROOT, kAboutKey));
    EXPECT_EQ("both", Text(HKEY_CLASSES_ROOT, kAboutKey + "\\InprocServer32", "ThreadingModel"));
    EXPECT_EQ("KVTSnapinAbout.2", Text(HKEY_CLASSES_ROOT, "KVTSnapinAbout\\CurVer"));

    EXPECT_EQ("KVTSnapin 1.0 Type Library", Text(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0"));
    std::string typeLibrary = Text(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\0\\linux");
    EXPECT_TRUE(std::filesystem::is_regular_file(typeLibrary)) << typeLibrary;
}

TEST_F(ModuleTest, ProgIdsResolveThroughCurVer)
{
    ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    for (const char* progId : {"KVTSnapin.KVTSnapin.1", "KVTSnapin.KVTSnapin", "Tarnwick.ZYR.KVTSnapin",
                               "Tarnwick.ZYR.KVTSnapin.1"}) {
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(S_OK, CLSIDFromProgIDA(progId, &clsid)) << progId;
        EXPECT_EQ(CLSID_KVTSnapin, clsid) << progId;
    }
    EXPECT_EQ("Tarnwick.ZYR.KVTSnapin.1", Text(HKEY_CLASSES_ROOT, "KVTSnapin.KVTSnapin\\CurVer"));
    CLSID about = GUID_NULL;
    EXPECT_EQ(S_OK, CLSIDFromProgIDA("KVTSnapinAbout", &about));
    EXPECT_EQ(CLSID_KVTSnapinAbout, about);
}

TEST_F(ModuleTest, RegisteringTwiceLeavesOneCleanCopy)
{
    ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    // Leftovers inside ForceRemove keys go with the second registration.
    TempRegistry::SetText(HKEY_LOCAL_MACHINE, (kSnapinKey + "\\Stale").c_str(), "Old", "x");
    TempRegistry::SetText(HKEY_CLASSES_ROOT, kClassKey.c_str(), "Stale", "x");
    ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSnapinKey + "\\Stale"));
    EXPECT_EQ("<no value>", Text(HKEY_CLASSES_ROOT, kClassKey, "Stale"));
    EXPECT_EQ("KVTSnapin", Text(HKEY_LOCAL_MACHINE, kSnapinKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSnapinKey + "\\StandAlone"));
}

TEST_F(ModuleTest, UnregisteringRemovesOurKeysAndKeepsTheSharedOnes)
{
    // Another snap-in and another class share the parent keys.
    TempRegistry::CreateKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\MMC\\SnapIns\\{Other}");
    TempRegistry::CreateKey(HKEY_CLASSES_ROOT, "CLSID\\{Other}");
    ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    ASSERT_EQ(S_OK, Call("DllUnregisterServer"));

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSnapinKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kNodeTypeKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAboutKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
    for (const char* progId : {"Tarnwick.ZYR.KVTSnapin.1", "Tarnwick.ZYR.KVTSnapin", "KVTSnapin.KVTSnapin.1",
                               "KVTSnapin.KVTSnapin", "KVTSnapinAbout.2", "KVTSnapinAbout"}) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, progId)) << progId;
    }
    for (const char* kept :
         {"Software", "Software\\Microsoft", "Software\\Microsoft\\MMC", "Software\\Microsoft\\MMC\\SnapIns",
          "Software\\Microsoft\\MMC\\NodeTypes", "Software\\Microsoft\\MMC\\SnapIns\\{Other}"}) {
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kept)) << kept;
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{Other}"));

    // A key the script shares with someone else keeps what is not ours.
    ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    TempRegistry::SetText(HKEY_CLASSES_ROOT, "KVTSnapin.KVTSnapin", "Owner", "another installer");
    ASSERT_EQ(S_OK, Call("DllUnregisterServer"));
    EXPECT_EQ("another installer", Text(HKEY_CLASSES_ROOT, "KVTSnapin.KVTSnapin", "Owner"));
    EXPECT_EQ("<no value>", Text(HKEY_CLASSES_ROOT, "KVTSnapin.KVTSnapin"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "KVTSnapin.KVTSnapin\\CLSID"));

    // Unregistering what is not there is no failure.
    EXPECT_EQ(S_OK, Call("DllUnregisterServer"));
}

TEST_F(ModuleTest, TheSnapinIsCreatedThroughTheRegistryAndHoldsTheModule)
{
    ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    ASSERT_EQ(S_OK, Call("DllCanUnloadNow"));
    {
        ComPtr<IComponentData> snapin;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KVTSnapin, nullptr, CLSCTX_INPROC_SERVER, IID_IComponentData,
                                         snapin.PutVoid()));
        EXPECT_EQ(S_FALSE, Call("DllCanUnloadNow"));

        auto console = ComPtr<ScriptedConsole>::Attach(new ScriptedConsole);
        ASSERT_EQ(S_OK, snapin->Initialize(static_cast<IConsole*>(console.get())));
        ASSERT_EQ(1u, console->strips.size());
        HBITMAP small = console->strips[0].small;
        ASSERT_NE(nullptr, small);
        EXPECT_EQ(9, small->count);
        EXPECT_EQ(16, small->height);
        ASSERT_GT(small->size, 24u);
        EXPECT_EQ(0, std::memcmp(small->png, "\x89PNG\r\n\x1a\n", 8));
        // IHDR: the strip is nine images wide.
        EXPECT_EQ(144,
                  (small->png[16] << 24) | (small->png[17] << 16) | (small->png[18] << 8) | small->png[19]);

        ComPtr<IComponent> view;
        ASSERT_EQ(S_OK, snapin->CreateComponent(view.Put()));
        ASSERT_EQ(S_OK, view->Initialize(console.get()));
        LPOLESTR page = nullptr;
        long options = 0;
        ASSERT_EQ(S_OK, view->GetResultViewType(0, &page, &options));
        std::u16string url(page);
        CoTaskMemFree(page);
        EXPECT_TRUE(url.starts_with(u"res:///")) << std::string(url.begin(), url.end());
        EXPECT_TRUE(url.ends_with(u"libzyrsnapin.so/WELCOMEPAGE.HTML"));

        ComPtr<ISnapinHelp> help = snapin.As<ISnapinHelp>();
        ASSERT_TRUE(help);
        LPOLESTR topic = nullptr;
        ASSERT_EQ(S_OK, help->GetHelpTopic(&topic));
        std::u16string helpPath(topic);
        CoTaskMemFree(topic);
        EXPECT_TRUE(std::filesystem::is_regular_file(std::string(helpPath.begin(), helpPath.end())));

        view->Destroy(0);
        snapin->Destroy();
    }
    EXPECT_EQ(S_OK, Call("DllCanUnloadNow"));
}

TEST_F(ModuleTest, TheAboutClassAndItsLimits)
{
    ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    ComPtr<ISnapinAbout> about;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KVTSnapinAbout, nullptr, CLSCTX_INPROC_SERVER, IID_ISnapinAbout,
                                     about.PutVoid()));
    LPOLESTR version = nullptr;
    ASSERT_EQ(S_OK, about->GetSnapinVersion(&version));
    EXPECT_EQ(std::u16string(u"ZYR Snapin Version 4.0"), version);
    CoTaskMemFree(version);

    using GetClassObject = HRESULT (*)(const CLSID&, const IID&, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(dlsym(module_, "DllGetClassObject"));
    ASSERT_NE(nullptr, getClassObject);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(GUID_NULL, IID_IClassFactory, factory.PutVoid()));
    ASSERT_EQ(S_OK, getClassObject(CLSID_KVTSnapin, IID_IClassFactory, factory.PutVoid()));
    ComPtr<IUnknown> object;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(about.get(), IID_IUnknown, object.PutVoid()));
    // LockServer keeps the module loaded.
    factory->LockServer(1);
    EXPECT_EQ(S_FALSE, Call("DllCanUnloadNow"));
    factory->LockServer(0);
    EXPECT_EQ(S_FALSE, Call("DllCanUnloadNow")) << "the about object is still alive";
    about.Reset();
    EXPECT_EQ(S_OK, Call("DllCanUnloadNow"));
}

TEST_F(ModuleTest, SetSecurityServerIsExportedWithCLinkage)
{
    using SetServer = HRESULT (*)(const char16_t*, const char16_t*);
    auto setServer = reinterpret_cast<SetServer>(dlsym(module_, "SetSecurityServer"));
    ASSERT_NE(nullptr, setServer);
    // The settings layer judges the access key.
    EXPECT_EQ(E_INVALIDARG, setServer(u"not the key", u"http://server/security.asp"));
}

TEST_F(ModuleTest, RegisterToolReportsWithItsExitCode)
{
    // The tool runs in a process of its own, sent to this test's registry.
    std::string tool = "ZYR_REGISTRY_DIR=" + (registry.Root() / "machine").string() + " " + ZYR_REGISTER_PATH;
    std::string module = ZYR_SNAPIN_MODULE_PATH;
    EXPECT_EQ(0, std::system((tool + " " + module + " > /dev/null").c_str()));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSnapinKey));
    EXPECT_EQ(0, std::system((tool + " /u " + module + " > /dev/null").c_str()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSnapinKey));
    EXPECT_NE(0, std::system((tool + " /nowhere/libnothing.so 2> /dev/null").c_str()));
    EXPECT_NE(0, std::system((tool + " 2> /dev/null").c_str()));
}

} // namespace
