#include "platform/text/CodePage.h"
#include "platform/text/BoundedText.h"

#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

using namespace zyr::text;
using zyr::testing::TempRegistry;

namespace {

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { ResetCodePage(); }
    TempRegistry registry;
};

// The bytes convert to the wide text under the active code page, and back
// to the same bytes.
void ExpectRoundTrip(std::string_view narrow, std::u16string_view wide)
{
    std::u16string widened;
    ASSERT_TRUE(ToWide(narrow, widened));
    EXPECT_EQ(widened, wide);
    std::string back;
    ASSERT_TRUE(FromWide(widened, back));
    EXPECT_EQ(back, narrow);
}

} // namespace

TEST_F(CodePageTest, ReadFromTheFrameworkKeyAndUtf8OtherwiseOrWhenUnsupported)
{
    EXPECT_EQ(ActiveCodePage(), CP_UTF8);

    ResetCodePage();
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "CodePage", 1252));
    EXPECT_EQ(ActiveCodePage(), CP_1252);
    // Read once: a later change is seen by a new process only.
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "CodePage", 65001));
    EXPECT_EQ(ActiveCodePage(), CP_1252);

    ResetCodePage();
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "CodePage", 932));
    EXPECT_EQ(ActiveCodePage(), CP_UTF8);
    ResetCodePage();
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "CodePage", "1252"));
    EXPECT_EQ(ActiveCodePage(), CP_UTF8); // a number counts only as REG_DWORD
}

TEST_F(CodePageTest, Utf8ConvertsBothWaysAndRefusesWhatIsNotUtf8)
{
    SetActiveCodePage(CP_UTF8);
    ExpectRoundTrip("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x92", u"Caf\u00e9 \u20ac \U0001F512");
    std::u16string wide = u"left over"; // a refused text leaves the output empty
    std::string narrow;

    // Truncated, overlong, surrogate and stray continuation bytes.
    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "a\x80z", "\xF4\x90\x80\x80"}) {
        EXPECT_FALSE(ToWide(bad, wide)) << bad;
        EXPECT_TRUE(wide.empty());
    }
    EXPECT_EQ(Widen("a\x80z"), u"a?z");
    std::u16string loneSurrogate = u"x";
    loneSurrogate.push_back(char16_t(0xD800));
    EXPECT_FALSE(FromWide(loneSurrogate, narrow));
    EXPECT_EQ(Narrow(loneSurrogate), "x?");
}

TEST_F(CodePageTest, Windows1252MapsItsHighHalfAndReplacesTheRest)
{
    SetActiveCodePage(CP_1252);
    ExpectRoundTrip("\x80\x93\xE9\xFF\x81", u"\u20ac\u201c\u00e9\u00ff\u0081");
    std::string narrow;
    EXPECT_FALSE(FromWide(u"\u0416", narrow)); // Cyrillic is not in the code page
    EXPECT_EQ(Narrow(u"a\u0416b"), "a?b");
}

TEST_F(CodePageTest, CaseInsensitiveComparisonCoversLettersBeyondAscii)
{
    SetActiveCodePage(CP_UTF8);
    EXPECT_TRUE(EqualsNoCase("Operators", "OPERATORS"));
    EXPECT_TRUE(EqualsNoCase("\xC3\x89quipe", "\xC3\xA9QUIPE")); // Équipe / éQUIPE
    EXPECT_FALSE(EqualsNoCase("Operator", "Operators"));
    EXPECT_FALSE(EqualsNoCase("a\x80", "a\x81"));
    SetActiveCodePage(CP_1252);
    EXPECT_TRUE(EqualsNoCase("\xC9quipe", "\xE9QUIPE"));
    EXPECT_TRUE(EqualsNoCase("\x8A", "\x9A")); // Š / š
}

TEST_F(CodePageTest, BoundedTextNeverCutsACharacterInTwo)
{
    SetActiveCodePage(CP_UTF8);
    // 4 bytes of room: "ab" and a two-byte "é" fit, the euro sign does not.
    BoundedText<5> text;
    EXPECT_TRUE(text.Assign("ab\xC3\xA9"));
    EXPECT_EQ(text.view(), "ab\xC3\xA9");
    EXPECT_FALSE(text.Assign("abc\xE2\x82\xAC"));
    EXPECT_EQ(text.view(), "abc");
    EXPECT_FALSE(text.Assign("a\xE2\x82\xAC"
                             "b"));
    EXPECT_EQ(text.view(), "a\xE2\x82\xAC");
    EXPECT_FALSE(text.Assign("\xF0\x9F\x94\x92x"));
    EXPECT_EQ(text.view(), "\xF0\x9F\x94\x92");
    EXPECT_FALSE(text.Assign("ab\xF0\x9F\x94\x92"));
    EXPECT_EQ(text.view(), "ab");
    EXPECT_EQ(text.c_str()[text.size()], '\0');

    // Bytes that are no characters are cut where the room ends.
    EXPECT_FALSE(text.Assign("\x80\x80\x80\x80\x80\x80"));
    EXPECT_EQ(text.size(), 4u);

    SetActiveCodePage(CP_1252);
    EXPECT_FALSE(text.Assign("abc\xE2\x82\xAC"));
    EXPECT_EQ(text.view(), "abc\xE2");
}
