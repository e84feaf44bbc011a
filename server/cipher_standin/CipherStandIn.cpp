// Stand-in for the growable cipher calls of cache/TextCipher.h while the cache
// layer has no implementation: RC4 under a 40-bit key (the first five bytes of
// the MD5 hash of the pass phrase, followed by eleven zero bytes of salt),
// written in base 64 with "-" for 62 and "/" for 63.
#include "cache/TextCipher.h"

#include <openssl/evp.h>

#include <array>
#include <cstring>

namespace {

constexpr const char* kBuiltInPassPhrase = "k#tq3.1zmeo47hdlcyrbva;u";
constexpr const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-/";

std::array<unsigned char, 16> DeriveKey(const char* passPhrase)
{
    const char* phrase = passPhrase ? passPhrase : kBuiltInPassPhrase;
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    unsigned int length = 0;
    EVP_Digest(phrase, std::strlen(phrase), digest, &length, EVP_md5(), nullptr);
    std::array<unsigned char, 16> key{};
    std::memcpy(key.data(), digest, 5);
    return key;
}

void Rc4(const std::array<unsigned char, 16>& key, std::string& data)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) {
        s[i] = static_cast<unsigned char>(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % key.size()]) & 0xff;
        std::swap(s[i], s[j]);
    }
    int i = 0;
    int j = 0;
    for (char& c : data) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        c = static_cast<char>(static_cast<unsigned char>(c) ^ s[(s[i] + s[j]) & 0xff]);
    }
}

int Sextet(char c)
{
    const char* p = std::strchr(kAlphabet, c);
    return (c != '\0' && p) ? static_cast<int>(p - kAlphabet) : -1;
}

} // namespace

namespace zyr::cipher {

std::string Encrypt(std::string_view plain, const char* passPhrase)
{
    if (plain.empty()) {
        return {};
    }
    std::string bytes(plain);
    Rc4(DeriveKey(passPhrase), bytes);
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        size_t n = bytes.size() - i;
        if (n > 1) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        if (n > 2) {
            v |= static_cast<unsigned char>(bytes[i + 2]);
        }
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        out += n > 2 ? kAlphabet[v & 63] : '=';
    }
    return out;
}

bool Decrypt(std::string_view encoded, std::string& plain, const char* passPhrase)
{
    plain.clear();
    std::string digits;
    for (char c : encoded) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        }
        digits += c;
    }
    if (digits.size() % 4 != 0) {
        return false;
    }
    std::string bytes;
    for (size_t i = 0; i < digits.size(); i += 4) {
        int pad = 0;
        unsigned v = 0;
        for (size_t k = 0; k < 4; ++k) {
            char c = digits[i + k];
            if (c == '=') {
                if (i + 4 != digits.size() || k < 2) {
                    return false;
                }
                ++pad;
                v <<= 6;
                continue;
            }
            int s = Sextet(c);
            if (s < 0 || pad > 0) {
                return false;
            }
            v = (v << 6) | static_cast<unsigned>(s);
        }
        bytes += static_cast<char>((v >> 16) & 0xff);
        if (pad < 2) {
            bytes += static_cast<char>((v >> 8) & 0xff);
        }
        if (pad < 1) {
            bytes += static_cast<char>(v & 0xff);
        }
    }
    Rc4(DeriveKey(passPhrase), bytes);
    plain = std::move(bytes);
    return true;
}

} // namespace zyr::cipher
