// Base 64 with the RFC 4648 bit layout and "=" padding, but "-" for 62 and "/"
// for 63. The encoder writes no line breaks; the decoder skips white space.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zyr::cipher {

constexpr size_t EncodedLength(size_t bytes)
{
    return (bytes + 2) / 3 * 4;
}

// An upper bound of the bytes that length characters can decode to.
constexpr size_t MaxDecodedLength(size_t length)
{
    return length / 4 * 3 + 3;
}

// Writes EncodedLength(size) characters (no terminator) to out; returns that length.
size_t EncodeBase64Variant(const uint8_t* in, size_t size, char* out);

enum class DecodeStatus {
    Ok,
    Invalid, // a character outside the alphabet, misplaced padding or an incomplete group
    NoRoom,  // the bytes do not fit in the output
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Ok;
    size_t written = 0; // bytes decoded (on failure, bytes written before it)
};

// Decodes text into out, writing at most capacity bytes.
DecodeResult DecodeBase64Variant(const char* text, size_t length, uint8_t* out, size_t capacity);

} // namespace zyr::cipher
