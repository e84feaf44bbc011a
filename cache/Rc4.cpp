#include "cache/Rc4.h"

namespace zyr::cipher {

Rc4::Rc4(const uint8_t* key, size_t keyLength)
{
    if (keyLength > 256) {
        keyLength = 256;
    }
    for (uint32_t k = 0; k < 256; ++k) {
        state_[k] = k;
    }
    if (keyLength == 0) {
        return;
    }
    uint32_t j = 0;
    size_t keyIndex = 0;
    for (uint32_t k = 0; k < 256; ++k) {
        uint32_t value = state_[k];
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
    uint32_t* const s = state_;
    uint32_t i = i_;
    uint32_t j = j_;
    // One step of the key stream; the state is kept as 32-bit words, which
    // avoids partial-register stalls on the swaps.
    auto step = [&]() -> uint8_t {
        i = (i + 1) & 0xFF;
        uint32_t si = s[i];
        j = (j + si) & 0xFF;
        uint32_t sj = s[j];
        s[i] = sj;
        s[j] = si;
        return static_cast<uint8_t>(s[(si + sj) & 0xFF]);
    };
    size_t k = 0;
    for (; k + 4 <= size; k += 4) {
        uint8_t k0 = step();
        uint8_t k1 = step();
        uint8_t k2 = step();
        uint8_t k3 = step();
        out[k] = in[k] ^ k0;
        out[k + 1] = in[k + 1] ^ k1;
        out[k + 2] = in[k + 2] ^ k2;
        out[k + 3] = in[k + 3] ^ k3;
    }
    for (; k < size; ++k) {
        out[k] = in[k] ^ step();
    }
    i_ = i;
    j_ = j;
}

} // namespace zyr::cipher
