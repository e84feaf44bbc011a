// The plant directory of the tests (tests/support/directory/plant.ldif),
// served by the private slapd that scripts/test starts and names in
// ZYR_TEST_LDAP; tests that need it are skipped without it. The client key
// points at it, with anonymous binds.
#pragma once

#include "tests/common/SettingsFixture.h"

#include <cstdlib>
#include <string>

namespace zyr::testing {

constexpr const char* kPlantBase = "dc=plant,dc=test";
constexpr const char* kOperators = "ou=Operators,dc=plant,dc=test";
constexpr const char* kGroups = "ou=Groups,dc=plant,dc=test";

inline std::string TestDirectoryUrl()
{
    const char* url = std::getenv("ZYR_TEST_LDAP");
    return url != nullptr ? url : "";
}

#define ZYR_NEEDS_TEST_DIRECTORY()                                                                           \
    do {                                                                                                     \
        if (zyr::testing::TestDirectoryUrl().empty()) {                                                      \
            GTEST_SKIP() << "ZYR_TEST_LDAP is not set (scripts/test starts the test directory)";             \
        }                                                                                                    \
    } while (false)

// Points the client key at the test directory (or at url) in directory-client mode.
inline void ConfigureTestDirectory(const std::string& url = TestDirectoryUrl())
{
    TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kClientKey, "NovellClient", 1);
    TempRegistry::SetText(HKEY_LOCAL_MACHINE, kClientKey, "DirectoryURL", url);
    TempRegistry::SetText(HKEY_LOCAL_MACHINE, kClientKey, "DirectoryBase", kPlantBase);
}

} // namespace zyr::testing
