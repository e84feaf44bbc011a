#include "platform/text/Ascii.h"
#include "platform/text/Escape.h"

#include <gtest/gtest.h>

using namespace zyr::text;

TEST(AsciiTest, HexDigitsBothWays)
{
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '\0', '\xC1'}) {
        EXPECT_EQ(HexDigitValue(c), -1) << int(c);
    }
    std::string out;
    AppendHexByte(out, 0x0F);
    AppendHexByte(out, 0xA0, false);
    AppendHexByte(out, 0xFF);
    EXPECT_EQ(out, "0Fa0FF");
}

TEST(AsciiTest, CaseFoldsOnlyLatinLetters)
{
    EXPECT_TRUE(EqualsAsciiNoCase("Content-Length", "content-LENGTH"));
    EXPECT_FALSE(EqualsAsciiNoCase("abc", "abcd"));
    EXPECT_FALSE(EqualsAsciiNoCase("@", "`")); // 0x40 and 0x60 differ by the case bit only
    EXPECT_FALSE(EqualsAsciiNoCase("\xC9", "\xE9"));
    EXPECT_TRUE(StartsWithAsciiNoCase("HEX(7):00", "hex"));
    EXPECT_FALSE(StartsWithAsciiNoCase("he", "hex"));
    EXPECT_EQ(AsciiLower("MiXed\xC9[Z]"), "mixed\xC9[z]");
    EXPECT_EQ(AsciiUpper("mixed\xE9{z}"), "MIXED\xE9{Z}");
    EXPECT_EQ(TrimSpaces("  Erik Larsen "), "Erik Larsen");
    EXPECT_EQ(TrimSpaces("\tkept\t"), "\tkept\t"); // spaces only
    EXPECT_EQ(TrimSpaces("   "), "");
}

TEST(EscapeTest, FormFieldsKeepUnreservedBytesAndEscapeTheRest)
{
    std::string body;
    AppendFormField(body, "Name", "a-Z_0.~");
    AppendFormField(body, "Text", std::string("&=+ %\0\xC3\xA9", 8));
    AppendFormField(body, "Empty", "");
    EXPECT_EQ(body, "Name=a-Z_0.~&Text=%26%3D%2B%20%25%00%C3%A9&Empty=");
}

TEST(EscapeTest, XmlEntitiesForTheFiveSpecialCharacters)
{
    EXPECT_EQ(XmlEscaped("plain"), "plain");
    EXPECT_EQ(XmlEscaped("<a href=\"x\">&'</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&apos;&lt;/a&gt;");
    std::string out = "kept:";
    AppendXmlEscaped(out, std::string("&\0\xC3\xA9", 4));
    EXPECT_EQ(out, std::string("kept:&amp;\0\xC3\xA9", 13));
}
