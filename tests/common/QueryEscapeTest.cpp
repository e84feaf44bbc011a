#include "common/QueryEscape.h"

#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using zyr::EscapeQueryValue;
using zyr::text::CP_1252;
using zyr::text::CP_UTF8;

// The bytes escaped before the first "?" or "#", written out independently of
// the implementation's table.
bool Escaped(unsigned char b, UINT cp)
{
    if ((b >= 0x01 && b <= 0x08) || b == 0x0B || b == 0x0C || (b >= 0x0E && b <= 0x1F) || b == 0x7F) {
        return true;
    }
    if (std::string_view(" \"&<>[\\]^`{|}").find(static_cast<char>(b)) != std::string_view::npos) {
        return true;
    }
    const bool undefinedIn1252 = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    return b >= 0xA0 || (b >= 0x80 && (cp != CP_1252 || undefinedIn1252));
}

class EscapeQueryValueTest : public ::testing::TestWithParam<UINT> {};

TEST_P(EscapeQueryValueTest, WritesEveryByteByTheRulesOfItsCodePage)
{
    const UINT cp = GetParam();
    for (int value = 1; value < 256; ++value) {
        SCOPED_TRACE(value);
        const auto b = static_cast<unsigned char>(value);
        const std::string raw(1, static_cast<char>(b));
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", b);
        const std::string expected = b == '\t' ? "" : Escaped(b, cp) ? hex : raw;
        EXPECT_EQ(EscapeQueryValue("a" + raw + "z", cp), "a" + expected + "z");
        // After the first "?" every byte is copied, except a TAB.
        EXPECT_EQ(EscapeQueryValue("a?" + raw + "z", cp), b == '\t' ? "a?z" : "a?" + raw + "z");
    }
}

TEST_P(EscapeQueryValueTest, WritesKnownValues)
{
    const UINT cp = GetParam();
    const std::pair<std::string, std::string> cases[] = {
        {"Plant Ops", "Plant%20Ops"},
        {"CORP\\jdoe", "CORP%5Cjdoe"},
        {"\\jdoe", "%5Cjdoe"},
        {"a&b=c", "a%26b=c"},
        {"x#y z", "x#y z"},
        {"x?y z&w#", "x?y z&w#"},
        {"{6B29FC40-CA47-1067-B31D-00DD010662DA}", "%7B6B29FC40-CA47-1067-B31D-00DD010662DA%7D"},
        {"100% a%20b", "100%%20a%20b"}, // "%" stays, escapes are not decoded
        {"C:\\Plant Data", "C:%5CPlant%20Data"},
        {"http://host/a b", "http://host/a%20b"},
        {"Plant\tOps\t", "PlantOps"},
        {"Ops \x01\x1F\r\n ", "Ops"}, // trailing control bytes and spaces go
        {"  a", "%20%20a"},
        {"a? \x01", "a?"},
        {" \t\x01", ""},
        {"line1\r\nline2", "line1\r\nline2"},  // inner line breaks stay
        {std::string("a b\0c d", 7), "a%20b"}, // the value ends at a zero byte
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(EscapeQueryValue(value, cp), expected) << value;
    }
}

TEST_P(EscapeQueryValueTest, SendsValuesTooLongToEscapeUnchanged)
{
    const UINT cp = GetParam();
    std::string spaces;
    for (int i = 0; i < 1364; ++i) {
        spaces += "%20";
    }
    // 4094 bytes escaped fit; 4097 do not, and the value goes out as it came.
    EXPECT_EQ(EscapeQueryValue("%" + std::string(1364, ' ') + "x", cp), "%" + spaces + "x");
    const std::string overflowing = "x\t" + std::string(1365, ' ') + "y";
    EXPECT_EQ(EscapeQueryValue(overflowing, cp), overflowing);
    const std::string plain(4095, 'a');
    EXPECT_EQ(EscapeQueryValue(plain + "\t", cp), plain);
    EXPECT_EQ(EscapeQueryValue(plain + "a\t", cp), plain + "a\t");
}

INSTANTIATE_TEST_SUITE_P(CodePages, EscapeQueryValueTest, ::testing::Values(CP_1252, CP_UTF8));

TEST(EscapeQueryValue, FollowsTheActiveCodePage)
{
    EXPECT_EQ(EscapeQueryValue("M\xC3\xBCller", CP_UTF8), "M%C3%BCller");
    zyr::text::SetActiveCodePage(CP_1252);
    EXPECT_EQ(::EscapeQueryValue("\x80 \xFC"), "\x80%20%FC");
    zyr::text::SetActiveCodePage(CP_UTF8);
    EXPECT_EQ(::EscapeQueryValue("\x80 \xFC"), "%80%20%FC");
    zyr::text::ResetCodePage();
}

TEST(IsValidNameText, RefusesEachReservedCharacterWithTheMessage)
{
    zyr::ui::ScopedRecordingUi ui;
    EXPECT_TRUE(IsValidNameText("Plant Ops-1 (M\xC3\xBCller) & Sons; v2.0 [a] {b} @c ~d"));
    EXPECT_TRUE(ui.recorder.boxes.empty());

    for (char reserved : std::string_view("%#\\:|+*'<>?/\"")) {
        SCOPED_TRACE(reserved);
        ui.recorder.boxes.clear();
        EXPECT_FALSE(IsValidNameText(std::string("Plant") + reserved + "Ops"));
        ASSERT_EQ(ui.recorder.boxes.size(), 1u);
        const auto& box = ui.recorder.boxes[0];
        EXPECT_EQ(box.text, "The name or description cannot contain any of the following characters:\n"
                            "                          % # \\ : | + * ' > < ? / \" ");
        EXPECT_EQ(box.caption, "ZYR Security Manager");
        EXPECT_EQ(box.style, zyr::ui::MB_ICONERROR | zyr::ui::MB_OK);
        EXPECT_EQ(box.owner, nullptr);
    }
}

} // namespace
