#include "platform/com/Guid.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace zyr::com;

namespace {
constexpr GUID kAccess = {0x5C1B8E40, 0x27D3, 0x4A9F, {0xB6, 0xE2, 0x91, 0xF0, 0xD3, 0xC7, 0xA4, 0x58}};
}

TEST(Guid, TextFormsInBothCasesReadBack)
{
    EXPECT_EQ(GuidToString(kAccess), "{5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458}");
    EXPECT_EQ(GuidToString(kAccess, GuidCase::Lower), "{5c1b8e40-27d3-4a9f-b6e2-91f0d3c7a458}");
    EXPECT_EQ(GuidToWide(kAccess), u"{5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458}");

    GUID parsed{};
    ASSERT_TRUE(GuidFromString("{5c1b8e40-27d3-4a9f-b6e2-91f0d3c7a458}", parsed));
    EXPECT_EQ(parsed, kAccess);
    ASSERT_TRUE(GuidFromWide(u"{5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458}", parsed));
    EXPECT_EQ(parsed, kAccess);
    EXPECT_TRUE(GuidFromString("5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458", parsed, true));
}

TEST(Guid, MalformedTextIsRefusedAndLeavesTheValue)
{
    GUID parsed = kAccess;
    for (const char* text :
         {"", "5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458", "{5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A45}",
          "{5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A4589}", "{5C1B8E40+27D3-4A9F-B6E2-91F0D3C7A458}",
          "{5C1B8E40-27D3-4A9F-B6E291F0-D3C7A458}", "{5C1B8E4G-27D3-4A9F-B6E2-91F0D3C7A458}",
          "(5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458)"}) {
        EXPECT_FALSE(GuidFromString(text, parsed)) << text;
    }
    EXPECT_FALSE(GuidFromWide(u"{5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A45\u00e9}", parsed));
    EXPECT_EQ(parsed, kAccess);
}

TEST(Guid, NewTextsAreBracedRandomAndInTheAskedCase)
{
    std::string upper = NewGuidText(GuidCase::Upper);
    std::string lower = NewGuidText(GuidCase::Lower);
    ASSERT_EQ(upper.size(), 38u);
    ASSERT_EQ(lower.size(), 38u);
    for (char c : upper) {
        EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << upper;
    }
    for (char c : lower) {
        EXPECT_FALSE(std::isupper(static_cast<unsigned char>(c))) << lower;
    }
    GUID parsed{};
    EXPECT_TRUE(GuidFromString(upper, parsed));
    EXPECT_EQ(upper[15], '4'); // a random (version 4) UUID
    EXPECT_NE(NewGuidText(GuidCase::Upper), upper);
}
