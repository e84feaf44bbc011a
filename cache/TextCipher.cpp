#include "cache/TextCipher.h"

#include "cache/Base64Variant.h"
#include "cache/Md5.h"
#include "cache/Rc4.h"
#include "platform/com/MemoryGuard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

namespace {

using zyr::cipher::HashStep;
using zyr::cipher::Rc4;

constexpr const char* kBuiltInPassPhrase = "k#tq3.1zmeo47hdlcyrbva;u";

// Texts are encrypted and encoded in slices that stay in the first-level
// cache; a multiple of three, so that no slice but the last one is padded.
constexpr size_t kSlice = 3 * 4096;

const char* StepName(HashStep step)
{
    switch (step) {
    case HashStep::CreateHash:
        return "CryptCreateHash";
    case HashStep::HashData:
        return "CryptHashData";
    default:
        return "CryptDeriveKey";
    }
}

// The provider's derivation of a 40-bit RC4 key from an MD5 hash: the first
// five bytes of the hash, followed by eleven bytes of salt that are zero by
// default, make the 16-byte key that RC4 is initialised with.
HRESULT DeriveKey(const char* passPhrase, uint8_t (&key)[16])
{
    const char* phrase = passPhrase != nullptr ? passPhrase : kBuiltInPassPhrase;
    uint8_t digest[16];
    zyr::cipher::Md5Result hashed = zyr::cipher::ComputeMd5(phrase, digest);
    if (hashed.failedStep != HashStep::None) {
        std::printf("Error %lx during %s!\n", hashed.error, StepName(hashed.failedStep));
        std::fflush(stdout);
        return HRESULT_FROM_WIN32(static_cast<LONG>(hashed.error));
    }
    std::memset(key, 0, sizeof key);
    std::memcpy(key, digest, 5);
    return S_OK;
}

// The RC4 state of the built-in pass phrase once its key is scheduled. Every
// encrypted field of every list reply uses that phrase, and hashing it and
// scheduling the key cost more than deciphering a short field; each call
// copies this state instead. Empty when the key cannot be derived: such calls
// go the long way, so that the failure is reported every time.
const std::optional<Rc4>& BuiltInSchedule()
{
    static const std::optional<Rc4> schedule = []() -> std::optional<Rc4> {
        uint8_t digest[16];
        if (zyr::cipher::ComputeMd5(kBuiltInPassPhrase, digest).failedStep != HashStep::None) {
            return std::nullopt;
        }
        uint8_t key[16] = {};
        std::memcpy(key, digest, 5);
        return Rc4(key, sizeof key);
    }();
    return schedule;
}

} // namespace

HRESULT zyr::cipher::KeyedCipher(const char* passPhrase, std::optional<Rc4>& rc4)
{
    if (passPhrase == nullptr || std::strcmp(passPhrase, kBuiltInPassPhrase) == 0) {
        if (const std::optional<Rc4>& schedule = BuiltInSchedule()) {
            rc4.emplace(*schedule);
            return S_OK;
        }
    }
    uint8_t key[16];
    HRESULT hr = DeriveKey(passPhrase, key);
    if (SUCCEEDED(hr)) {
        rc4.emplace(key, sizeof key);
    }
    return hr;
}

using zyr::cipher::KeyedCipher;

HRESULT EncryptText(const char* passPhrase, char* plain, size_t plainLength, char* output, int* capacity)
{
    if (plain == nullptr || capacity == nullptr) {
        return E_INVALIDARG;
    }
    if (plainLength == 0) {
        *capacity = 0;
        return S_OK;
    }
    const size_t needed = zyr::cipher::EncodedLength(plainLength) + 1;
    if (plainLength > std::numeric_limits<size_t>::max() / 2 || output == nullptr || *capacity <= 0 ||
        static_cast<size_t>(*capacity) < needed ||
        needed > static_cast<size_t>(std::numeric_limits<int>::max())) {
        if (output != nullptr && *capacity > 0) {
            output[0] = '\0';
        }
        *capacity = -1;
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }

    std::optional<Rc4> rc4;
    HRESULT hr = KeyedCipher(passPhrase, rc4);
    if (FAILED(hr)) {
        return hr;
    }
    auto* bytes = reinterpret_cast<uint8_t*>(plain);
    char* out = output;
    for (size_t offset = 0; offset < plainLength; offset += kSlice) {
        size_t slice = plainLength - offset < kSlice ? plainLength - offset : kSlice;
        rc4->Apply(bytes + offset, slice);
        out += zyr::cipher::EncodeBase64Variant(bytes + offset, slice, out);
    }
    *out = '\0';
    *capacity = static_cast<int>(out - output);
    return S_OK;
}

HRESULT DecryptText(const char* passPhrase, const char* encrypted, size_t encryptedLength, char* output,
                    size_t capacity, size_t* length)
{
    if (length != nullptr) {
        *length = 0;
    }
    if (encrypted == nullptr || (output == nullptr && capacity > 0)) {
        return E_INVALIDARG;
    }
    if (encryptedLength == 0) {
        return S_OK;
    }
    auto* bytes = reinterpret_cast<uint8_t*>(output);
    zyr::cipher::DecodeResult decoded =
        zyr::cipher::DecodeBase64Variant(encrypted, encryptedLength, bytes, capacity);
    HRESULT hr = S_OK;
    if (decoded.status == zyr::cipher::DecodeStatus::Invalid) {
        hr = zyr::cipher::kUndecodableText;
    } else if (decoded.status == zyr::cipher::DecodeStatus::NoRoom) {
        hr = HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    } else {
        std::optional<Rc4> rc4;
        hr = KeyedCipher(passPhrase, rc4);
        if (SUCCEEDED(hr)) {
            rc4->Apply(bytes, decoded.written);
        }
    }
    if (FAILED(hr)) {
        if (decoded.written > 0) {
            std::memset(output, 0, decoded.written);
        }
        return hr;
    }
    if (decoded.written < capacity) {
        output[decoded.written] = '\0';
    }
    if (length != nullptr) {
        *length = decoded.written;
    }
    return S_OK;
}

void EncryptTextPair(std::string& first, std::string& second)
{
    for (std::string* text : {&first, &second}) {
        if (text->empty()) {
            continue;
        }
        // Encrypt answers running out of memory with a failure, not a throw.
        std::string encoded;
        if (FAILED(zyr::cipher::Encrypt(*text, encoded))) {
            encoded.clear();
        }
        *text = std::move(encoded);
    }
}

namespace zyr::cipher {

std::string Encrypt(std::string_view plain, const char* passPhrase)
{
    std::string encoded;
    if (FAILED(Encrypt(plain, encoded, passPhrase))) {
        encoded.clear();
    }
    return encoded;
}

HRESULT Encrypt(std::string_view plain, std::string& encoded, const char* passPhrase)
{
    encoded.clear();
    if (plain.empty()) {
        return S_OK;
    }
    HRESULT result = zyr::com::GuardMemory([&] {
        if (plain.size() >= static_cast<size_t>(std::numeric_limits<int>::max()) / 4 * 3) {
            return E_OUTOFMEMORY; // beyond what the buffer-style call can report
        }
        std::optional<Rc4> rc4;
        HRESULT hr = KeyedCipher(passPhrase, rc4);
        if (FAILED(hr)) {
            return hr;
        }
        // Slice by slice through a buffer of its own, so that a long text is
        // never copied whole before it is encrypted.
        encoded.resize(EncodedLength(plain.size()));
        const auto* bytes = reinterpret_cast<const uint8_t*>(plain.data());
        uint8_t slice[kSlice];
        char* out = encoded.data();
        for (size_t offset = 0; offset < plain.size(); offset += kSlice) {
            const size_t size = std::min(kSlice, plain.size() - offset);
            rc4->Apply(bytes + offset, slice, size);
            out += EncodeBase64Variant(slice, size, out);
        }
        encoded.resize(static_cast<size_t>(out - encoded.data()));
        return S_OK;
    });
    if (FAILED(result)) {
        encoded.clear();
    }
    return result;
}

bool Decrypt(std::string_view encoded, std::string& plain, const char* passPhrase)
{
    plain.clear();
    if (encoded.empty()) {
        return true;
    }
    HRESULT hr = zyr::com::GuardMemory([&] {
        plain.resize(MaxDecodedLength(encoded.size()));
        size_t length = 0;
        HRESULT decrypted =
            DecryptText(passPhrase, encoded.data(), encoded.size(), plain.data(), plain.size(), &length);
        plain.resize(SUCCEEDED(decrypted) ? length : 0);
        return decrypted;
    });
    if (FAILED(hr)) {
        plain.clear();
    }
    return SUCCEEDED(hr);
}

} // namespace zyr::cipher
