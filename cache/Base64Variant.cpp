#include "cache/Base64Variant.h"

#include <array>
#include <bit>
#include <cstring>

namespace zyr::cipher {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-/";

// Two output characters for every 12-bit value, in memory order.
struct PairTable {
    std::array<char, 2 * 4096> chars{};
    constexpr PairTable()
    {
        for (int v = 0; v < 4096; ++v) {
            chars[2 * v] = kAlphabet[v >> 6];
            chars[2 * v + 1] = kAlphabet[v & 0x3F];
        }
    }
};
constexpr PairTable kPairs;

// Character classes of the decoder beyond the 64 values.
constexpr uint8_t kInvalid = 0xFF;
constexpr uint8_t kSpace = 0xFE;
constexpr uint8_t kPad = 0xFD;

struct DecodeTables {
    std::array<uint8_t, 256> value{};
    // The value of a character already shifted into place for each of the four
    // positions of a group; anything that is not a value sets bits above 24.
    std::array<uint32_t, 256> shifted[4]{};
    constexpr DecodeTables()
    {
        for (int c = 0; c < 256; ++c) {
            value[c] = kInvalid;
        }
        for (int v = 0; v < 64; ++v) {
            value[static_cast<uint8_t>(kAlphabet[v])] = static_cast<uint8_t>(v);
        }
        for (char c : {' ', '\t', '\n', '\r', '\v', '\f'}) {
            value[static_cast<uint8_t>(c)] = kSpace;
        }
        value['='] = kPad;
        for (int c = 0; c < 256; ++c) {
            for (int position = 0; position < 4; ++position) {
                shifted[position][c] =
                    value[c] < 64 ? static_cast<uint32_t>(value[c]) << (18 - 6 * position) : 0x01000000u;
            }
        }
    }
};
constexpr DecodeTables kDecode;

bool IsSpace(uint8_t c)
{
    return kDecode.value[c] == kSpace;
}

} // namespace

size_t EncodeBase64Variant(const uint8_t* in, size_t size, char* out)
{
    const char* pairs = kPairs.chars.data();
    char* const start = out;
    size_t k = 0;
    for (; k + 3 <= size; k += 3) {
        uint32_t group =
            (static_cast<uint32_t>(in[k]) << 16) | (static_cast<uint32_t>(in[k + 1]) << 8) | in[k + 2];
        std::memcpy(out, pairs + 2 * (group >> 12), 2);
        std::memcpy(out + 2, pairs + 2 * (group & 0xFFF), 2);
        out += 4;
    }
    size_t rest = size - k;
    if (rest == 1) {
        uint32_t group = static_cast<uint32_t>(in[k]) << 16;
        out[0] = kAlphabet[group >> 18];
        out[1] = kAlphabet[(group >> 12) & 0x3F];
        out[2] = '=';
        out[3] = '=';
        out += 4;
    } else if (rest == 2) {
        uint32_t group = (static_cast<uint32_t>(in[k]) << 16) | (static_cast<uint32_t>(in[k + 1]) << 8);
        out[0] = kAlphabet[group >> 18];
        out[1] = kAlphabet[(group >> 12) & 0x3F];
        out[2] = kAlphabet[(group >> 6) & 0x3F];
        out[3] = '=';
        out += 4;
    }
    return static_cast<size_t>(out - start);
}

DecodeResult DecodeBase64Variant(const char* text, size_t length, uint8_t* out, size_t capacity)
{
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    const uint8_t* const end = p + length;
    size_t written = 0;
    const auto& s0 = kDecode.shifted[0];
    const auto& s1 = kDecode.shifted[1];
    const auto& s2 = kDecode.shifted[2];
    const auto& s3 = kDecode.shifted[3];

    for (;;) {
        // Whole groups of four alphabet characters, the common case: as many
        // as both the text and the output allow, each stored as one word
        // while a fourth byte of room remains.
        size_t groups = static_cast<size_t>(end - p) / 4;
        size_t room = capacity - written;
        size_t wordGroups = room > 3 ? (room - 1) / 3 : 0;
        if (wordGroups > groups) {
            wordGroups = groups;
        }
        uint8_t* o = out + written;
        const uint8_t* const wordEnd = p + 4 * wordGroups;
        while (p < wordEnd) {
            uint32_t group = s0[p[0]] | s1[p[1]] | s2[p[2]] | s3[p[3]];
            if (group >= 0x01000000u) {
                break;
            }
            uint32_t bytes = group << 8; // the three bytes first in memory order
            if constexpr (std::endian::native == std::endian::little) {
                bytes = __builtin_bswap32(bytes);
            }
            std::memcpy(o, &bytes, 4);
            o += 3;
            p += 4;
        }
        written = static_cast<size_t>(o - out);
        while (end - p >= 4 && capacity - written >= 3) {
            uint32_t group = s0[p[0]] | s1[p[1]] | s2[p[2]] | s3[p[3]];
            if (group >= 0x01000000u) {
                break;
            }
            out[written] = static_cast<uint8_t>(group >> 16);
            out[written + 1] = static_cast<uint8_t>(group >> 8);
            out[written + 2] = static_cast<uint8_t>(group);
            written += 3;
            p += 4;
        }

        // One group character by character: white space, padding, the end,
        // a bad character or a full output.
        uint8_t values[4];
        int count = 0;
        bool padded = false;
        while (count < 4 && p < end) {
            uint8_t v = kDecode.value[*p++];
            if (v < 64) {
                values[count++] = v;
            } else if (v == kSpace) {
                continue;
            } else if (v == kPad) {
                padded = true;
                break;
            } else {
                return {DecodeStatus::Invalid, written};
            }
        }
        if (!padded && count == 0) {
            return {DecodeStatus::Ok, written}; // the end, after whole groups
        }
        if (!padded && count < 4) {
            return {DecodeStatus::Invalid, written}; // a group cut short
        }
        if (padded) {
            // "xx==" or "xxx=", then nothing but white space.
            if (count < 2) {
                return {DecodeStatus::Invalid, written};
            }
            if (count == 2) {
                while (p < end && IsSpace(*p)) {
                    ++p;
                }
                if (p == end || *p != '=') {
                    return {DecodeStatus::Invalid, written};
                }
                ++p;
            }
            while (p < end && IsSpace(*p)) {
                ++p;
            }
            if (p != end) {
                return {DecodeStatus::Invalid, written};
            }
        }
        size_t bytes = padded ? static_cast<size_t>(count - 1) : 3;
        if (capacity - written < bytes) {
            return {DecodeStatus::NoRoom, written};
        }
        uint32_t group = (static_cast<uint32_t>(values[0]) << 18) | (static_cast<uint32_t>(values[1]) << 12);
        if (count > 2) {
            group |= static_cast<uint32_t>(values[2]) << 6;
        }
        if (count > 3) {
            group |= values[3];
        }
        out[written] = static_cast<uint8_t>(group >> 16);
        if (bytes > 1) {
            out[written + 1] = static_cast<uint8_t>(group >> 8);
        }
        if (bytes > 2) {
            out[written + 2] = static_cast<uint8_t>(group);
        }
        written += bytes;
        if (padded) {
            return {DecodeStatus::Ok, written};
        }
    }
}

} // namespace zyr::cipher
