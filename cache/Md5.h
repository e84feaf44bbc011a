// MD5 (RFC 1321) over OpenSSL's digest interface, reporting which step failed
// in the terms of the crypto provider the cipher's derivation comes from.
#pragma once

#include <cstdint>
#include <string_view>

namespace zyr::cipher {

// The steps of hashing a pass phrase and turning the hash into a key.
enum class HashStep {
    None,       // success
    CreateHash, // the MD5 algorithm is not available (e.g. a FIPS-only configuration)
    HashData,   // feeding the data failed
    DeriveKey,  // reading the hash value failed
};

struct Md5Result {
    HashStep failedStep = HashStep::None;
    long error = 0; // the Win32 error code that stands for the failure
};

// Hashes data into digest. On failure digest is zeroed.
Md5Result ComputeMd5(std::string_view data, uint8_t (&digest)[16]);

} // namespace zyr::cipher
