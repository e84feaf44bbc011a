// A registry of its own with the test snap-in registered as a stand-alone
// snap-in, and access to the snap-in's log of what it was told.
#pragma once

#include "host/ConsoleSession.h"
#include "platform/com/ClassTable.h"
#include "tests/host/testsnapin/TestSnapin.h"
#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace zyr::testing {

inline const std::string kSnapinKey =
    "Software\\Microsoft\\MMC\\SnapIns\\" + zyr::com::GuidToString(CLSID_TestSnapin);

inline void RegisterTestSnapin(const std::string& nameString, bool standAlone = true)
{
    std::string clsid = zyr::com::GuidToString(CLSID_TestSnapin);
    TempRegistry::SetText(HKEY_LOCAL_MACHINE, kSnapinKey.c_str(), "NameString", nameString);
    if (standAlone) {
        TempRegistry::CreateKey(HKEY_LOCAL_MACHINE, (kSnapinKey + "\\StandAlone").c_str());
    }
    TempRegistry::SetText(HKEY_CLASSES_ROOT, ("CLSID\\" + clsid + "\\InprocServer32").c_str(), "",
                          ZYR_TEST_SNAPIN_PATH);
}

// The snap-in's log since the last ClearSnapinLog.
inline std::string SnapinLog()
{
    void* module = dlopen(ZYR_TEST_SNAPIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) {
        return {};
    }
    auto log = reinterpret_cast<TestSnapinLogFunction>(dlsym(module, "TestSnapinLog"));
    std::string text = log != nullptr ? log() : "";
    dlclose(module);
    return text;
}

inline void ClearSnapinLog()
{
    void* module = dlopen(ZYR_TEST_SNAPIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) {
        return;
    }
    if (auto clear = reinterpret_cast<TestSnapinClearLogFunction>(dlsym(module, "TestSnapinClearLog"))) {
        clear();
    }
    dlclose(module);
}

// The module stays loaded, so that the count holds for the snap-ins it makes.
inline void SetExtraLeaves(int count)
{
    void* module = dlopen(ZYR_TEST_SNAPIN_PATH, RTLD_NOW | RTLD_NODELETE);
    if (module == nullptr) {
        return;
    }
    if (auto set =
            reinterpret_cast<TestSnapinSetExtraLeavesFunction>(dlsym(module, "TestSnapinSetExtraLeaves"))) {
        set(count);
    }
    dlclose(module);
}

class HostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        zyr::com::ResetClassTable();
        RegisterTestSnapin("ZYR Security Manager");
    }
    void TearDown() override { zyr::com::ResetClassTable(); }

    TempRegistry registry_;
};

} // namespace zyr::testing
