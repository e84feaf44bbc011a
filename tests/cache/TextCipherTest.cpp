#include "cache/TextCipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Values written by the framework with the built-in pass phrase.
TEST(TextCipher, ReproducesTheFrameworksEncryptedTexts)
{
    EXPECT_EQ(zyr::cipher::Encrypt("a"), "Hg==");
    EXPECT_EQ(zyr::cipher::Encrypt("Operators:5;"), "MN30dhQCwvBzW2/9");
    EXPECT_EQ(zyr::cipher::Encrypt("Operators:5;", "k#tq3.1zmeo47hdlcyrbva;u"), "MN30dhQCwvBzW2/9");
    std::string plain;
    ASSERT_TRUE(zyr::cipher::Decrypt("MN30dhQCwvBzW2/9", plain));
    EXPECT_EQ(plain, "Operators:5;");
}

// Every byte value, alone through the buffer calls and together through the
// growable ones, with the built-in and with an own pass phrase; and texts long
// enough to be worked in several slices.
TEST(TextCipher, RoundTrips)
{
    for (int b = 0; b < 256; ++b) {
        char text[1] = {static_cast<char>(b)};
        char output[8] = {};
        int capacity = sizeof output;
        ASSERT_EQ(EncryptText(nullptr, text, 1, output, &capacity), S_OK);
        ASSERT_EQ(capacity, 4);
        char back[8] = {};
        size_t length = 99;
        ASSERT_EQ(DecryptText(nullptr, output, 4, back, sizeof back, &length), S_OK);
        EXPECT_EQ(length, 1u);
        EXPECT_EQ(back[0], static_cast<char>(b));
    }
    std::string text;
    for (size_t k = 0; text.size() < 40000; ++k) {
        text += static_cast<char>((k * 131) ^ (k >> 7));
    }
    for (size_t length : {256u, 12287u, 12288u, 12289u, 40000u}) {
        for (const char* phrase : {static_cast<const char*>(nullptr), "an own phrase"}) {
            std::string part = text.substr(0, length);
            std::string encoded = zyr::cipher::Encrypt(part, phrase);
            ASSERT_EQ(encoded.size(), zyr::cipher::EncodedLength(length));
            EXPECT_EQ(encoded.find('+'), std::string::npos);
            std::string plain;
            ASSERT_TRUE(zyr::cipher::Decrypt(encoded, plain, phrase));
            EXPECT_EQ(plain, part) << length;
            // The growable call works in slices of its own: the same bytes
            // as the buffer call.
            std::string work = part;
            std::string buffer(encoded.size() + 1, '\0');
            int capacity = static_cast<int>(buffer.size());
            ASSERT_EQ(EncryptText(phrase, work.data(), work.size(), buffer.data(), &capacity), S_OK);
            EXPECT_EQ(buffer.substr(0, static_cast<size_t>(capacity)), encoded);
            // One stream: a prefix of whole groups encrypts to a prefix.
            EXPECT_EQ(zyr::cipher::Encrypt(part.substr(0, 255), phrase), encoded.substr(0, 340));
        }
    }
    EXPECT_NE(zyr::cipher::Encrypt(text, "an own phrase"), zyr::cipher::Encrypt(text));
}

TEST(TextCipher, EmptyAndMissingTexts)
{
    char plain[1] = {'x'};
    char output[4] = {'#', '#', '#', '#'};
    int capacity = sizeof output;
    EXPECT_EQ(EncryptText(nullptr, plain, 0, output, &capacity), S_OK);
    EXPECT_EQ(capacity, 0);
    EXPECT_EQ(output[0], '#'); // nothing written
    size_t length = 7;
    EXPECT_EQ(DecryptText(nullptr, "", 0, output, sizeof output, &length), S_OK);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(EncryptText(nullptr, nullptr, 0, output, &capacity), E_INVALIDARG);
    EXPECT_EQ(DecryptText(nullptr, nullptr, 0, output, sizeof output, &length), E_INVALIDARG);
    EXPECT_EQ(zyr::cipher::Encrypt(""), "");
    std::string text = "stale";
    EXPECT_TRUE(zyr::cipher::Decrypt("", text));
    EXPECT_EQ(text, "");

    std::string oldValue = "a";
    std::string newValue;
    EncryptTextPair(oldValue, newValue);
    EXPECT_EQ(oldValue, "Hg==");
    EXPECT_EQ(newValue, "");
}

// The output needs the encoded length and a terminator; one byte less fails
// and leaves the plain text as it was.
TEST(TextCipher, EncryptTextNeverOverrunsTheOutput)
{
    const std::string text = "Operators:5;";
    std::vector<char> plain(text.begin(), text.end());
    std::vector<char> output(17, '#');
    int capacity = 16;
    EXPECT_EQ(EncryptText(nullptr, plain.data(), plain.size(), output.data(), &capacity),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(capacity, -1);
    EXPECT_EQ(std::string(plain.begin(), plain.end()), text);
    EXPECT_EQ(output[0], '\0');
    EXPECT_EQ(output[16], '#');

    capacity = 17;
    ASSERT_EQ(EncryptText(nullptr, plain.data(), plain.size(), output.data(), &capacity), S_OK);
    EXPECT_EQ(capacity, 16);
    EXPECT_STREQ(output.data(), "MN30dhQCwvBzW2/9");
}

TEST(TextCipher, DecryptTextLeavesNothingBehindOnFailure)
{
    char output[16] = {};
    size_t length = 0;
    const std::string zeros(sizeof output, '\0');
    // Four bytes decode before the bad character.
    EXPECT_EQ(DecryptText(nullptr, "MN30dhQC+vBz", 12, output, sizeof output, &length),
              zyr::cipher::kUndecodableText);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(std::string(output, sizeof output), zeros);
    // Twelve plain bytes do not fit in eleven.
    EXPECT_EQ(DecryptText(nullptr, "MN30dhQCwvBzW2/9", 16, output, 11, &length),
              HRESULT_FROM_WIN32(ERROR_MORE_DATA));
    EXPECT_EQ(std::string(output, sizeof output), zeros);
    // Exactly enough room: no terminator past it.
    output[12] = '#';
    EXPECT_EQ(DecryptText(nullptr, "MN30dhQCwvBzW2/9", 16, output, 12, &length), S_OK);
    EXPECT_EQ(std::string(output, 13), "Operators:5;#");
}

} // namespace
