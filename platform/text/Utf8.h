// UTF-8 and UTF-16 characters, independent of the code page in force.
#pragma once

#include <string>
#include <string_view>

namespace zyr::text {

// Decodes one UTF-8 character at bytes[at] (at < size); returns its length,
// or 0 when the bytes there are no well-formed character (overlong forms,
// surrogates, values past U+10FFFF and cut sequences included).
size_t DecodeUtf8(std::string_view bytes, size_t at, char32_t& c);
bool IsUtf8(std::string_view bytes);
// The length of the character at bytes[at] (at < size) when it is well-formed
// UTF-8 that XML 1.0 allows (no controls but TAB, LF and CR; no U+FFFE or
// U+FFFF), else 0.
size_t XmlCharLength(std::string_view bytes, size_t at);

// Reads one character at wide[at] (at < size), joining a surrogate pair;
// returns the units read. A lone surrogate is read as itself.
size_t DecodeUtf16(std::u16string_view wide, size_t at, char32_t& c);
inline bool IsSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

void AppendUtf8(char32_t c, std::string& out);
void AppendUtf16(char32_t c, std::u16string& out);

// Whole-text conversions; what cannot be converted becomes U+FFFD, one for
// each byte of an invalid sequence or each lone surrogate.
std::string Utf16ToUtf8(std::u16string_view wide);
std::u16string Utf8ToUtf16(std::string_view bytes);

} // namespace zyr::text
