#include "platform/registry/RegKey.h"

#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

using zyr::registry::RegKey;

TEST(RegKeyTest, ClosesOnScopeExitAndWhenReused)
{
    zyr::testing::TempRegistry registry;
    RegKey key;
    EXPECT_FALSE(key);
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Test", KEY_ALL_ACCESS), ERROR_SUCCESS);
    const HKEY first = key.get();
    DWORD value = 7;
    ASSERT_EQ(RegSetValueExA(key, "Seven", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);

    // A failed open leaves no key held, and the key held before is closed.
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Missing", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key);
    EXPECT_NE(RegCloseKey(first), ERROR_SUCCESS);

    RegKey moved;
    {
        RegKey opened;
        ASSERT_EQ(opened.Open(HKEY_CURRENT_USER, "Software\\Test", KEY_READ), ERROR_SUCCESS);
        moved = std::move(opened);
    }
    ASSERT_TRUE(moved);
    EXPECT_TRUE(zyr::registry::ReadDword(moved, "Seven", value) && value == 7);
}
