#include "cache/TextCipher.h"

#include "cache/Base64Variant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string AllByteValues()
{
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    return all;
}

// Values written by the framework with the built-in pass phrase.
TEST(TextCipher, ReproducesTheFrameworksEncryptedTexts)
{
    EXPECT_EQ(zyr::cipher::Encrypt("a"), "Hg==");
    EXPECT_EQ(zyr::cipher::Encrypt("Operators:5;"), "MN30dhQCwvBzW2/9");
    std::string plain;
    ASSERT_TRUE(zyr::cipher::Decrypt("MN30dhQCwvBzW2/9", plain));
    EXPECT_EQ(plain, "Operators:5;");
    // No salt and no initialisation vector: the same text, the same output.
    EXPECT_EQ(zyr::cipher::Encrypt("Operators:5;"), zyr::cipher::Encrypt("Operators:5;"));
}

TEST(TextCipher, RoundTripsEveryByteValue)
{
    const std::string all = AllByteValues();
    std::string encoded = zyr::cipher::Encrypt(all);
    EXPECT_EQ(encoded.size(), zyr::cipher::EncodedLength(all.size()));
    EXPECT_EQ(encoded.find('+'), std::string::npos);
    std::string plain;
    ASSERT_TRUE(zyr::cipher::Decrypt(encoded, plain));
    EXPECT_EQ(plain, all);
    // Each value alone, through the buffer-style calls.
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
}

TEST(TextCipher, PassPhraseOfTheCaller)
{
    const std::string text = "<KVTROLES><ROLE>x</ROLE></KVTROLES>";
    std::string own = zyr::cipher::Encrypt(text, "another phrase");
    EXPECT_NE(own, zyr::cipher::Encrypt(text));
    EXPECT_EQ(zyr::cipher::Encrypt(text, "k#tq3.1zmeo47hdlcyrbva;u"), zyr::cipher::Encrypt(text));
    std::string plain;
    ASSERT_TRUE(zyr::cipher::Decrypt(own, plain, "another phrase"));
    EXPECT_EQ(plain, text);
    ASSERT_TRUE(zyr::cipher::Decrypt(own, plain));
    EXPECT_NE(plain, text);
}

TEST(TextCipher, EmptyTextsWriteNothing)
{
    char plain[1] = {'x'};
    char output[4] = {'#', '#', '#', '#'};
    int capacity = sizeof output;
    EXPECT_EQ(EncryptText(nullptr, plain, 0, output, &capacity), S_OK);
    EXPECT_EQ(capacity, 0);
    EXPECT_EQ(output[0], '#');
    size_t length = 7;
    EXPECT_EQ(DecryptText(nullptr, "", 0, output, sizeof output, &length), S_OK);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(zyr::cipher::Encrypt(""), "");
    std::string text = "stale";
    EXPECT_TRUE(zyr::cipher::Decrypt("", text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(EncryptText(nullptr, nullptr, 0, output, &capacity), E_INVALIDARG);
    EXPECT_EQ(DecryptText(nullptr, nullptr, 0, output, sizeof output, &length), E_INVALIDARG);
}

// The output needs the encoded length and a terminator; one byte less fails
// without touching the plain text.
TEST(TextCipher, EncryptTextFailsWhenTheOutputIsTooSmall)
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
    EXPECT_NE(std::string(plain.begin(), plain.end()), text); // overwritten with the encrypted bytes
}

TEST(TextCipher, DecryptTextLeavesNothingBehindOnFailure)
{
    char output[16];
    size_t length = 0;
    // Decodes four bytes before the bad character.
    std::memset(output, 0, sizeof output);
    EXPECT_TRUE(FAILED(DecryptText(nullptr, "MN30dhQC+vBz", 12, output, sizeof output, &length)));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(std::string(output, sizeof output), std::string(sizeof output, '\0'));
    // Twelve plain bytes do not fit in eleven.
    EXPECT_EQ(DecryptText(nullptr, "MN30dhQCwvBzW2/9", 16, output, 11, &length),
              HRESULT_FROM_WIN32(ERROR_MORE_DATA));
    EXPECT_EQ(std::string(output, sizeof output), std::string(sizeof output, '\0'));
    // Exactly enough room: no terminator is written past it.
    output[12] = '#';
    EXPECT_EQ(DecryptText(nullptr, "MN30dhQCwvBzW2/9", 16, output, 12, &length), S_OK);
    EXPECT_EQ(std::string(output, 13), "Operators:5;#");
    std::string plain = "stale";
    EXPECT_FALSE(zyr::cipher::Decrypt("Hg=", plain));
    EXPECT_EQ(plain, "");
}

TEST(TextCipher, EncryptTextPairReplacesOnlyNonEmptyTexts)
{
    std::string oldValue = "a";
    std::string newValue;
    EncryptTextPair(oldValue, newValue);
    EXPECT_EQ(oldValue, "Hg==");
    EXPECT_EQ(newValue, "");
    oldValue.clear();
    newValue = "Operators:5;";
    EncryptTextPair(oldValue, newValue);
    EXPECT_EQ(oldValue, "");
    EXPECT_EQ(newValue, "MN30dhQCwvBzW2/9");
}

// Long texts go through in slices; the result must not depend on that.
TEST(TextCipher, LongTextsRoundTrip)
{
    std::string text;
    for (size_t k = 0; text.size() < 100000; ++k) {
        text += static_cast<char>((k * 131) ^ (k >> 7));
    }
    for (size_t length : {12287u, 12288u, 12289u, 36864u, 100000u}) {
        std::string part = text.substr(0, length);
        std::string encoded = zyr::cipher::Encrypt(part);
        ASSERT_EQ(encoded.size(), zyr::cipher::EncodedLength(length));
        std::string plain;
        ASSERT_TRUE(zyr::cipher::Decrypt(encoded, plain));
        EXPECT_EQ(plain, part) << length;
        // A prefix encrypts to a prefix (one stream, whole groups).
        EXPECT_EQ(zyr::cipher::Encrypt(part.substr(0, 3000)), encoded.substr(0, 4000));
    }
}

} // namespace
