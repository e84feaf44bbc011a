#include "cache/Base64Variant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zyr::cipher::DecodeStatus;

std::string Encode(const std::string& bytes)
{
    std::string out(zyr::cipher::EncodedLength(bytes.size()), '?');
    size_t length = zyr::cipher::EncodeBase64Variant(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                     bytes.size(), out.data());
    EXPECT_EQ(length, out.size());
    return out;
}

// Decodes with the given capacity; the status and the bytes decoded.
std::pair<DecodeStatus, std::string> Decode(const std::string& text, size_t capacity = 64)
{
    std::vector<uint8_t> out(capacity + 8, 0xEE);
    zyr::cipher::DecodeResult result =
        zyr::cipher::DecodeBase64Variant(text.data(), text.size(), out.data(), capacity);
    for (size_t k = capacity; k < out.size(); ++k) {
        EXPECT_EQ(out[k], 0xEE) << "wrote past the capacity for \"" << text << '"';
    }
    return {result.status, std::string(out.begin(), out.begin() + static_cast<long>(result.written))};
}

// RFC 4648, section 10, with two more for the characters of 62 and 63, which
// standard base 64 writes "+" and "/" and this variant "-" and "/".
TEST(Base64Variant, EncodesAndDecodesTheRfc4648Vectors)
{
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
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
    for (const auto& c : cases) {
        EXPECT_EQ(Encode(c.bytes), c.text);
        auto [status, bytes] = Decode(c.text);
        EXPECT_EQ(status, DecodeStatus::Ok) << c.text;
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
}

TEST(Base64Variant, RoundTripsEveryByteValueAtEveryLength)
{
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    for (size_t length = 0; length <= all.size(); ++length) {
        std::string bytes = all.substr(all.size() - length);
        std::string text = Encode(bytes);
        EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-/="),
                  std::string::npos);
        auto [status, decoded] = Decode(text, bytes.size());
        ASSERT_EQ(status, DecodeStatus::Ok) << text;
        EXPECT_EQ(decoded, bytes);
    }
}

TEST(Base64Variant, SkipsWhiteSpaceAnywhere)
{
    for (std::string text :
         {" Zm9vYmFy", "Zm9v\r\nYmFy\r\n", "Z m 9 v Y m F y", "\tZm9vYg=\n=\v", "Zm9vYg= = \f"}) {
        auto [status, bytes] = Decode(text);
        EXPECT_EQ(status, DecodeStatus::Ok) << text;
        EXPECT_EQ(bytes.substr(0, 4), "foob") << text;
    }
    EXPECT_EQ(Decode(" \r\n\t"), std::make_pair(DecodeStatus::Ok, std::string()));
}

TEST(Base64Variant, RejectsForeignCharactersMisplacedPaddingAndCutGroups)
{
    const std::vector<std::string> texts = {
        "+/8=",        // standard base 64's 62
        "Zm9v_mFy",    // the URL-safe alphabet's 63
        "Zm9vYmF\x80", // high byte
        std::string("Zm9v\0mFy", 8),
        "Zm9vYmFy.", // trailing junk
        "Zg",        // group cut short, no padding
        "Zm9",       // same
        "Z",         //
        "Zg=",       // one "=" where two are needed
        "Z===",      // padding after one character
        "====",      //
        "=",         //
        "Zg==Zg==",  // data after padding
        "Zm8=Zm8=",  //
        "Zg===",     // too much padding
        "Zm9v=",     // padding after a whole group
        "Zm8=x",     //
    };
    for (const std::string& text : texts) {
        EXPECT_EQ(Decode(text).first, DecodeStatus::Invalid) << '"' << text << '"';
    }
}

TEST(Base64Variant, NeverWritesPastTheCapacity)
{
    EXPECT_EQ(Decode("Zm9vYmFy", 6), std::make_pair(DecodeStatus::Ok, std::string("foobar")));
    EXPECT_EQ(Decode("Zm9vYmFy", 5).first, DecodeStatus::NoRoom);
    EXPECT_EQ(Decode("Zm9vYmE=", 4).first, DecodeStatus::NoRoom);
    EXPECT_EQ(Decode("Zm9vYmE=", 5).first, DecodeStatus::Ok);
    EXPECT_EQ(Decode("Zg==", 0).first, DecodeStatus::NoRoom);
    EXPECT_EQ(Decode("Zg==", 1).first, DecodeStatus::Ok);
    // The fast path stops short of a group that does not fit.
    std::string longText(400, 'A');
    EXPECT_EQ(Decode(longText, 299).first, DecodeStatus::NoRoom);
    EXPECT_EQ(Decode(longText, 300).first, DecodeStatus::Ok);
}

} // namespace
