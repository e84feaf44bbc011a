// The text cipher that protects member lists, permission lists, access-control
// lists and audit values on the wire, and both cache files on disk: RC4 keyed
// as the framework's crypto provider derives a 40-bit key from the MD5 hash of
// a pass phrase, written in base 64 with "-" for 62 and "/" for 63.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>
#include <string_view>

// Buffer-style calls, for the fixed-capacity callers.
// passPhrase null: the built-in pass phrase. plain is overwritten with the
// encrypted bytes. On success *capacity holds the length of the text written
// (terminated), or -1 when it did not fit.
HRESULT EncryptText(const char* passPhrase, char* plain, size_t plainLength, char* output, int* capacity);
// Writes the plain bytes without a terminator into output (capacity bytes);
// *length receives the number of plain bytes.
HRESULT DecryptText(const char* passPhrase, const char* encrypted, size_t encryptedLength, char* output,
                    size_t capacity, size_t* length);
// Replaces each non-empty text by its encrypted text (empty if encryption failed).
void EncryptTextPair(std::string& first, std::string& second);

namespace zyr::cipher {

// Growable forms for callers that hold std::string. Empty in, empty out.
std::string Encrypt(std::string_view plain, const char* passPhrase = nullptr);
// False (and plain emptied) when the text is not valid base-64 variant.
bool Decrypt(std::string_view encoded, std::string& plain, const char* passPhrase = nullptr);

} // namespace zyr::cipher
