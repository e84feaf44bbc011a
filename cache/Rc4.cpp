#include "cache/Rc4.h"

#include <bit>
#include <cstring>

namespace zyr::cipher {

Rc4::Rc4(const uint8_t* key, size_t keyLength)
{
    if (keyLength > 256) {
        keyLength = 256;
    }
    for (uint32_t k = 0; k < 256; ++k) {
        state_[k] = static_cast<uint8_t>(k);
    }
    if (keyLength == 0) {
        return;
    }
    uint32_t j = 0;
    size_t keyIndex = 0;
    for (uint32_t k = 0; k < 256; ++k) {
        uint8_t value = state_[k];
        j = (j + value + key[keyIndex]) & 0xFF;
        state_[k] = state_[j];
        state_[j] = value;
        if (++keyIndex == keyLength) {
            keyIndex = 0;
        }
    }
}

void Rc4::Apply(const uint8_t* in, uint8_t* out, size_t size)
{
    uint8_t* const s = state_;
    uint32_t i = i_;
    uint32_t j = j_;
    auto step = [&]() -> uint64_t {
        i = (i + 1) & 0xFF;
        uint32_t si = s[i];
        j = (j + si) & 0xFF;
        uint32_t sj = s[j];
        s[i] = static_cast<uint8_t>(sj);
        s[j] = static_cast<uint8_t>(si);
        return s[(si + sj) & 0xFF];
    };
    size_t k = 0;
    // Eight bytes of key stream gathered into one word, then one XOR: written
    // out by hand, as compilers do not always unroll it at -O2.
    for (; k + 8 <= size; k += 8) {
        uint64_t stream = step();
        stream |= step() << 8;
        stream |= step() << 16;
        stream |= step() << 24;
        stream |= step() << 32;
        stream |= step() << 40;
        stream |= step() << 48;
        stream |= step() << 56;
        uint64_t word;
        std::memcpy(&word, in + k, sizeof word);
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
        }
        word ^= stream;
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
        }
        std::memcpy(out + k, &word, sizeof word);
    }
    for (; k < size; ++k) {
        out[k] = static_cast<uint8_t>(in[k] ^ step());
    }
    i_ = i;
    j_ = j;
}

} // namespace zyr::cipher
