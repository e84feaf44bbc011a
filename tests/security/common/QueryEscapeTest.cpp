#include "security/common/QueryEscape.h"

#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using zyr::text::CP_1252;
using zyr::text::CP_UTF8;

std::string Hex(unsigned char b)
{
    char out[4];
    std::snprintf(out, sizeof out, "%%%02X", b);
    return out;
}

// The bytes that go out escaped before the first "?" or "#", written out
// independently of the implementation's table.
bool Escaped1252(unsigned char b)
{
    if ((b >= 0x01 && b <= 0x08) || b == 0x0B || b == 0x0C || (b >= 0x0E && b <= 0x1F)) {
        return true;
    }
    if (std::string_view(" \"&<>[\\]^`{|}").find(static_cast<char>(b)) != std::string_view::npos) {
        return true;
    }
    return b == 0x7F || b >= 0xA0 || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

bool EscapedUtf8(unsigned char b)
{
    return b >= 0x80 || Escaped1252(b);
}

class EscapeQueryValueTest : public ::testing::TestWithParam<UINT> {};

TEST_P(EscapeQueryValueTest, WritesTheKnownExamples)
{
    const UINT cp = GetParam();
    EXPECT_EQ(zyr::EscapeQueryValue("Plant Ops", cp), "Plant%20Ops");
    EXPECT_EQ(zyr::EscapeQueryValue("CORP\\jdoe", cp), "CORP%5Cjdoe");
    EXPECT_EQ(zyr::EscapeQueryValue("\\jdoe", cp), "%5Cjdoe");
    EXPECT_EQ(zyr::EscapeQueryValue("a&b=c", cp), "a%26b=c");
    EXPECT_EQ(zyr::EscapeQueryValue("x#y z", cp), "x#y z");
    EXPECT_EQ(zyr::EscapeQueryValue("x?y z&w", cp), "x?y z&w");
    EXPECT_EQ(zyr::EscapeQueryValue("{6B29FC40-CA47-1067-B31D-00DD010662DA}", cp),
              "%7B6B29FC40-CA47-1067-B31D-00DD010662DA%7D");
    // "%" stays, existing escapes are not decoded, drive- and scheme-like
    // values follow the same byte rules.
    EXPECT_EQ(zyr::EscapeQueryValue("100% a%20b", cp), "100%%20a%20b");
    EXPECT_EQ(zyr::EscapeQueryValue("C:\\Plant Data", cp), "C:%5CPlant%20Data");
    EXPECT_EQ(zyr::EscapeQueryValue("http://host/a b", cp), "http://host/a%20b");
    EXPECT_EQ(zyr::EscapeQueryValue("", cp), "");
}

TEST_P(EscapeQueryValueTest, TreatsEveryByteByTheRulesOfItsCodePage)
{
    const UINT cp = GetParam();
    for (int value = 1; value < 256; ++value) {
        const auto b = static_cast<unsigned char>(value);
        SCOPED_TRACE(value);
        const std::string raw(1, static_cast<char>(b));
        if (b == '\t') {
            EXPECT_EQ(zyr::EscapeQueryValue("a" + raw + "z", cp), "az");
            continue;
        }
        const bool escaped = cp == CP_1252 ? Escaped1252(b) : EscapedUtf8(b);
        const std::string expected = escaped ? Hex(b) : raw;
        if (b == '?' || b == '#') {
            EXPECT_EQ(zyr::EscapeQueryValue("a" + raw + "z", cp), "a" + raw + "z");
        } else {
            EXPECT_EQ(zyr::EscapeQueryValue("a" + raw + "z", cp), "a" + expected + "z");
        }
        // After the first "?" every byte is copied as it is, unless trailing.
        EXPECT_EQ(zyr::EscapeQueryValue("a?" + raw + "z", cp), "a?" + raw + "z");
    }
}

TEST_P(EscapeQueryValueTest, DropsTabsAndTrailingControlBytesOnly)
{
    const UINT cp = GetParam();
    EXPECT_EQ(zyr::EscapeQueryValue("Plant\tOps\t", cp), "PlantOps");
    EXPECT_EQ(zyr::EscapeQueryValue("a?b\tc", cp), "a?bc");
    EXPECT_EQ(zyr::EscapeQueryValue("Ops \x01\x1F\r\n ", cp), "Ops");
    EXPECT_EQ(zyr::EscapeQueryValue("a? \x01", cp), "a?");
    EXPECT_EQ(zyr::EscapeQueryValue("  a", cp), "%20%20a");
    EXPECT_EQ(zyr::EscapeQueryValue(" \t\x01", cp), "");
    // Line breaks inside the value are neither escaped nor dropped.
    EXPECT_EQ(zyr::EscapeQueryValue("line1\r\nline2", cp), "line1\r\nline2");
    // The value ends at its first zero byte.
    EXPECT_EQ(zyr::EscapeQueryValue(std::string("a b\0c d", 7), cp), "a%20b");
}

TEST_P(EscapeQueryValueTest, SendsValuesTooLongToEscapeUnchanged)
{
    const UINT cp = GetParam();
    std::string expected;
    for (int i = 0; i < 1365; ++i) {
        expected += "%20";
    }
    ASSERT_EQ(expected.size(), zyr::kMaxEscapedLength);
    // "%" and 1364 spaces and a letter: 4094 bytes escaped, which fit.
    EXPECT_EQ(zyr::EscapeQueryValue("%" + std::string(1364, ' ') + "x", cp), "%" + expected.substr(3) + "x");
    // 1365 spaces between two letters would take 4097 bytes.
    const std::string overflowing = "x" + std::string(1365, ' ') + "y";
    EXPECT_EQ(zyr::EscapeQueryValue(overflowing, cp), overflowing);
    const std::string plain(4095, 'a');
    EXPECT_EQ(zyr::EscapeQueryValue(plain, cp), plain);
    const std::string tooLong = std::string(4096, 'a') + "\t b";
    EXPECT_EQ(zyr::EscapeQueryValue(tooLong, cp), tooLong);
}

INSTANTIATE_TEST_SUITE_P(CodePages, EscapeQueryValueTest, ::testing::Values(CP_1252, CP_UTF8));

TEST(EscapeQueryValue, KeepsUtf8TextDecodableAndFollowsTheActiveCodePage)
{
    EXPECT_EQ(zyr::EscapeQueryValue("M\xC3\xBCller", CP_UTF8), "M%C3%BCller");
    EXPECT_EQ(zyr::EscapeQueryValue("M\xFCller \x80", CP_1252), "M%FCller%20\x80");

    zyr::text::SetActiveCodePage(CP_1252);
    EXPECT_EQ(EscapeQueryValue("\x80 \xFC"), "\x80%20%FC");
    zyr::text::SetActiveCodePage(CP_UTF8);
    EXPECT_EQ(EscapeQueryValue("\x80 \xFC"), "%80%20%FC");
    zyr::text::ResetCodePage();
}

TEST(IsValidNameText, RefusesEachReservedCharacterWithTheMessage)
{
    const std::string expectedText =
        "The name or description cannot contain any of the following characters:\n"
        "                          % # \\ : | + * ' > < ? / \" ";
    for (char reserved : std::string_view("%#\\:|+*'<>?/\"")) {
        SCOPED_TRACE(reserved);
        zyr::ui::ScopedRecordingUi ui;
        EXPECT_FALSE(IsValidNameText(std::string("Plant") + reserved + "Ops"));
        ASSERT_EQ(ui.recorder.boxes.size(), 1u);
        const auto& box = ui.recorder.boxes[0];
        EXPECT_EQ(box.text, expectedText);
        EXPECT_EQ(box.caption, "ZYR Security Manager");
        EXPECT_EQ(box.style, zyr::ui::MB_ICONERROR | zyr::ui::MB_OK);
        EXPECT_EQ(box.owner, nullptr);
    }
}

TEST(IsValidNameText, AcceptsOrdinaryNamesSilently)
{
    zyr::ui::ScopedRecordingUi ui;
    EXPECT_TRUE(IsValidNameText("Plant Ops-1 (M\xC3\xBCller) & Sons; v2.0 [a] {b} @c ~d"));
    EXPECT_TRUE(IsValidNameText(""));
    EXPECT_TRUE(ui.recorder.boxes.empty());
}

} // namespace
