// The base-64 variant decoder and DecryptText on arbitrary text: no read or
// write outside the buffers given, a capacity that never turns a valid text
// into a failure when it is large enough, and decoded bytes that encode and
// decode back to themselves.
#include "cache/Base64Variant.h"
#include "cache/TextCipher.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using zyr::cipher::DecodeStatus;
    // An exact-size copy, so that a read past the end is caught.
    std::vector<char> text(data, data + size);
    const char* chars = size > 0 ? text.data() : "";

    // Enough room: only the text can make the decoding fail.
    std::vector<uint8_t> full(zyr::cipher::MaxDecodedLength(size));
    zyr::cipher::DecodeResult decoded =
        zyr::cipher::DecodeBase64Variant(chars, size, full.data(), full.size());
    Check(decoded.status != DecodeStatus::NoRoom);
    Check(decoded.written <= full.size());

    if (decoded.status == DecodeStatus::Ok) {
        std::string again(zyr::cipher::EncodedLength(decoded.written), '\0');
        zyr::cipher::EncodeBase64Variant(full.data(), decoded.written, again.data());
        std::vector<uint8_t> back(decoded.written + 1);
        zyr::cipher::DecodeResult second =
            zyr::cipher::DecodeBase64Variant(again.data(), again.size(), back.data(), decoded.written);
        Check(second.status == DecodeStatus::Ok && second.written == decoded.written);
        Check(decoded.written == 0 || std::memcmp(back.data(), full.data(), decoded.written) == 0);

        // Exactly the room needed is enough, one byte less is not.
        std::vector<uint8_t> exact(decoded.written);
        Check(zyr::cipher::DecodeBase64Variant(chars, size, exact.data(), exact.size()).status ==
              DecodeStatus::Ok);
        if (decoded.written > 0) {
            std::vector<uint8_t> tight(decoded.written - 1);
            Check(zyr::cipher::DecodeBase64Variant(chars, size, tight.data(), tight.size()).status ==
                  DecodeStatus::NoRoom);
        }
    }

    // DecryptText into a buffer as long as the text, as the cache file reader
    // does: succeeds exactly when the text decodes, and then round-trips.
    std::vector<char> plain(size);
    size_t length = 0;
    HRESULT hr = DecryptText(nullptr, chars, size, plain.data(), plain.size(), &length);
    Check(SUCCEEDED(hr) == (decoded.status == DecodeStatus::Ok));
    if (SUCCEEDED(hr)) {
        Check(length == decoded.written);
        std::string recovered;
        Check(zyr::cipher::Decrypt(zyr::cipher::Encrypt(std::string(plain.data(), length)), recovered));
        Check(recovered == std::string(plain.data(), length));
    } else {
        for (char c : plain) {
            Check(c == '\0');
        }
    }
    return 0;
}
