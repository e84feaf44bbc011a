#include "platform/text/Utf8.h"

#include <gtest/gtest.h>

using namespace zyr::text;

TEST(Utf8Test, KnownCharactersRoundTrip)
{
    const std::string bytes = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // A é € 😀
    const std::u16string wide = u"A\u00E9\u20AC\U0001F600";
    EXPECT_EQ(Utf8ToUtf16(bytes), wide);
    EXPECT_EQ(Utf16ToUtf8(wide), bytes);
    EXPECT_TRUE(IsUtf8(bytes));
    EXPECT_TRUE(IsUtf8(""));
}

TEST(Utf8Test, MalformedInputIsRefusedOrReplaced)
{
    const char* malformed[] = {
        "\x80",             // a lone continuation byte
        "\xC0\xAF",         // an overlong "/"
        "\xE0\x80\xAF",     // another overlong "/"
        "\xED\xA0\x80",     // an encoded surrogate
        "\xF4\x90\x80\x80", // past U+10FFFF
        "\xE2\x82",         // cut at the end
        "\xF8\x88\x80\x80\x80",
        "\xFF",
    };
    for (const char* text : malformed) {
        EXPECT_FALSE(IsUtf8(text)) << text;
        const std::u16string wide = Utf8ToUtf16(text);
        EXPECT_EQ(wide.find_first_not_of(u'\uFFFD'), std::u16string::npos);
        EXPECT_EQ(wide.size(), std::char_traits<char>::length(text)); // one for each byte
    }
    EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"
                          "b"),
              u"a\uFFFD\uFFFDb");
    // Lone surrogates, leading or trailing, come out as U+FFFD.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', char16_t(0xD800)}), "x\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00), u'x'}), "\xEF\xBF\xBDx");
}
