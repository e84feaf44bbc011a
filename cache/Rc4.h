// The RC4 stream cipher. Kept here because OpenSSL only offers it through its
// legacy provider, which this system does not load.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zyr::cipher {

class Rc4 {
public:
    // key: 1 to 256 bytes (longer keys use their first 256 bytes).
    Rc4(const uint8_t* key, size_t keyLength);

    // XORs the next size bytes of the key stream into in and writes them to
    // out; in and out may be the same buffer.
    void Apply(const uint8_t* in, uint8_t* out, size_t size);
    void Apply(uint8_t* data, size_t size) { Apply(data, data, size); }

private:
    uint8_t state_[256];
    uint32_t i_ = 0;
    uint32_t j_ = 0;
};

} // namespace zyr::cipher
