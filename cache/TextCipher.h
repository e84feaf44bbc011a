// The text cipher that protects member lists, permission lists, access-control
// lists and audit values on the wire, and both cache files on disk: RC4 keyed
// as the framework's crypto provider derives a 40-bit key from the MD5 hash of
// a pass phrase, written in base 64 with "-" for 62 and "/" for 63.
//
// A null pass phrase means the built-in one, which every caller of this system
// uses. Encrypting the same text twice gives the same output (no salt, no IV).
// When the key cannot be derived (no MD5 in this OpenSSL configuration) the
// calls fail with the HRESULT of a Win32 error and print the provider's
// failure text ("Error %x during CryptCreateHash!") on standard output.
#pragma once

#include "cache/Base64Variant.h"
#include "cache/Rc4.h"
#include "platform/com/WinTypes.h"

#include <optional>
#include <string>
#include <string_view>

namespace zyr::cipher {
// The failure of a text that is not base-64 variant: HRESULT of ERROR_INVALID_DATA.
constexpr HRESULT kUndecodableText = HRESULT_FROM_WIN32(13);
} // namespace zyr::cipher

// Buffer-style calls, for the fixed-capacity callers.
//
// EncryptText: *capacity is the size of output in bytes on entry. plain is
// overwritten with the encrypted bytes. On success *capacity holds the length
// of the text written (terminated). When the text and its terminator do not
// fit, nothing is touched except output[0] (emptied), *capacity is set to -1
// and the call fails with HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
// zyr::cipher::EncodedLength(plainLength) + 1 is the size needed. An empty plain text
// gives *capacity 0 and S_OK and writes nothing. Null plain: E_INVALIDARG.
HRESULT EncryptText(const char* passPhrase, char* plain, size_t plainLength, char* output, int* capacity);
// Writes the plain bytes into output (capacity bytes), followed by a
// terminator when there is room; *length (may be null) receives the number of
// plain bytes. Undecodable text (kUndecodableText) or a plain text that does
// not fit (HRESULT_FROM_WIN32(ERROR_MORE_DATA)) fails, with every byte it
// wrote zeroed again and *length 0. Null encrypted: E_INVALIDARG.
HRESULT DecryptText(const char* passPhrase, const char* encrypted, size_t encryptedLength, char* output,
                    size_t capacity, size_t* length);
// Replaces each non-empty text by its encrypted text (empty if encryption failed).
void EncryptTextPair(std::string& first, std::string& second);

namespace zyr::cipher {

// The cipher keyed with passPhrase (null: the built-in one), for callers that
// encrypt a stream slice by slice: the key stream runs on across calls.
HRESULT KeyedCipher(const char* passPhrase, std::optional<Rc4>& rc4);

// Growable forms for callers that hold std::string. Empty in, empty out.
// A failed encryption gives an empty text.
std::string Encrypt(std::string_view plain, const char* passPhrase = nullptr);
// The same with the result of the encryption.
HRESULT Encrypt(std::string_view plain, std::string& encoded, const char* passPhrase = nullptr);
// False (and plain emptied) when the text is not valid base-64 variant or
// the key cannot be derived.
bool Decrypt(std::string_view encoded, std::string& plain, const char* passPhrase = nullptr);

} // namespace zyr::cipher
