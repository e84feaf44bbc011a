#include "cache/Base64Variant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zyr::cipher::DecodeStatus;

std::string Encode(const std::string& bytes)
{
    std::string out(zyr::cipher::EncodedLength(bytes.size()), '?');
    zyr::cipher::EncodeBase64Variant(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                     out.data());
    return out;
}

// Decodes with the given capacity, checking that nothing is written past it.
std::pair<DecodeStatus, std::string> Decode(const std::string& text, size_t capacity = 64)
{
    std::vector<uint8_t> out(capacity + 8, 0xEE);
    auto result = zyr::cipher::DecodeBase64Variant(text.data(), text.size(), out.data(), capacity);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + static_cast<long>(capacity), out.end()),
              std::vector<uint8_t>(8, 0xEE))
        << "wrote past the capacity for \"" << text << '"';
    return {result.status, std::string(out.begin(), out.begin() + static_cast<long>(result.written))};
}

// RFC 4648, section 10, and the values 62 and 63, which this variant writes
// "-" and "/" where standard base 64 writes "+" and "/".
TEST(Base64Variant, EncodesAndDecodesTheRfc4648Vectors)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFB\xFF", "-/8="},
        {"\xF8", "-A=="},
        {"\xFF\xFF\xFF", "////"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(Encode(bytes), text);
        EXPECT_EQ(Decode(text), std::make_pair(DecodeStatus::Ok, bytes)) << text;
    }
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    for (size_t length = 0; length <= all.size(); ++length) {
        std::string bytes = all.substr(all.size() - length);
        EXPECT_EQ(Decode(Encode(bytes), length), std::make_pair(DecodeStatus::Ok, bytes));
    }
}

TEST(Base64Variant, WhiteSpaceIsSkippedAnythingElseFails)
{
    for (std::string text :
         {" Zm9vYmFy", "Zm9v\r\nYmFy\r\n", "Z m 9 v Y m F y", "\tZm9vYg=\n=\v", "Zm9vYg= = \f"}) {
        EXPECT_EQ(Decode(text).first, DecodeStatus::Ok) << text;
        EXPECT_EQ(Decode(text).second.substr(0, 4), "foob") << text;
    }
    EXPECT_EQ(Decode(" \r\n\t"), std::make_pair(DecodeStatus::Ok, std::string()));
    const std::vector<std::string> invalid = {
        "+/8=",      "Zm9v_mFy", "Zm9vYmF\x80", std::string("Zm9v\0mFy", 8),
        "Zm9vYmFy.",                  // foreign characters
        "Zg",        "Zm9",      "Z", // groups cut short
        "Zg=",       "Z===",     "====",        "=",
        "Zg===",                                         // wrong padding
        "Zg==Zg==",  "Zm8=Zm8=", "Zm9v=",       "Zm8=x", // data after padding
    };
    for (const std::string& text : invalid) {
        EXPECT_EQ(Decode(text).first, DecodeStatus::Invalid) << '"' << text << '"';
    }
}

TEST(Base64Variant, NeverWritesPastTheCapacity)
{
    EXPECT_EQ(Decode("Zm9vYmFy", 6), std::make_pair(DecodeStatus::Ok, std::string("foobar")));
    EXPECT_EQ(Decode("Zm9vYmFy", 5).first, DecodeStatus::NoRoom);
    EXPECT_EQ(Decode("Zm9vYmE=", 4).first, DecodeStatus::NoRoom);
    EXPECT_EQ(Decode("Zg==", 0).first, DecodeStatus::NoRoom);
    EXPECT_EQ(Decode(std::string(400, 'A'), 299).first, DecodeStatus::NoRoom);
    EXPECT_EQ(Decode(std::string(400, 'A'), 300).first, DecodeStatus::Ok);
}

} // namespace
