// A whole start-up of the loaded module against the reference server with
// its demo data: the sign-in as the logged-on account (the demo's security
// administrator), the role list fetched and cached, the node images set.
#include "audit/ComponentModules.h"
#include "console/framework/SnapinIds.h"
#include "platform/com/ClassTable.h"
#include "platform/registry/Registry.h"
#include "tests/pages/QtTestApp.h"
#include "tests/platform/TempRegistry.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/ScriptedConsole.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <dlfcn.h>
#include <filesystem>

namespace {

using zyr::com::ComPtr;
using zyr::testing::TempRegistry;

TEST(ModuleStartupTest, TheLoggedOnAdministratorSignsInAndTheRolesAreCached)
{
    zyr::testing::QtTestApp();
    TempRegistry registry;
    void* module = dlopen(ZYR_SNAPIN_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    zyr::test::ReferenceServer server;
    if (!server.Start({"--seed", "demo"})) {
        GTEST_SKIP() << "the reference server is not built";
    }
    std::filesystem::path cache = registry.Root() / "cache";
    std::filesystem::create_directories(cache);
    TempRegistry::SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "URL", server.RequestUrl());
    TempRegistry::SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "CachePath", cache.string());
    ASSERT_EQ(zyr::audit::RegisterComponentModule(ZYR_AUTHENTICATION_MODULE), S_OK);
    ASSERT_EQ(zyr::audit::RegisterComponentModule(ZYR_AUTHORIZATION_MODULE), S_OK);
    auto registerServer = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK);

    {
        ComPtr<IComponentData> snapin;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_KVTSnapin, nullptr, CLSCTX_INPROC_SERVER, IID_IComponentData,
                                         snapin.PutVoid()));
        auto console = ComPtr<zyr::testing::ScriptedConsole>::Attach(new zyr::testing::ScriptedConsole);
        console->mainWindow = nullptr;
        // Nothing remembered: the dialog opens with the logged-on account.
        zyr::testing::ClickInNextModal("1");
        ASSERT_EQ(S_OK, snapin->Initialize(static_cast<IConsole*>(console.get())));
        ASSERT_EQ(1u, console->strips.size());
        HBITMAP small = console->strips[0].small;
        ASSERT_NE(nullptr, small);
        EXPECT_EQ(10, small->count);
        EXPECT_TRUE(std::filesystem::is_regular_file(cache / "rolecache.xml"));
        EXPECT_EQ(QApplication::topLevelWidgets().size(), 0) << "the status window is gone";

        HKEY key = nullptr;
        ASSERT_EQ(
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tarnwick\\ZYR\\Security\\Snap-in", 0, KEY_READ, &key),
            ERROR_SUCCESS);
        DWORD loginUser = 0;
        EXPECT_TRUE(zyr::registry::ReadDword(key, "LoginUser", loginUser));
        EXPECT_EQ(loginUser, 1u);
        RegCloseKey(key);
        snapin->Destroy();
    }
    zyr::com::ResetClassTable();
}

} // namespace
