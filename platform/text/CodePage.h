// Texts inside records are bytes in the configured code page: 65001 (UTF-8)
// unless HKLM\SOFTWARE\Tarnwick\ZYR "CodePage" names 1252. This is the one place
// that converts between those bytes and the UTF-16 texts of the console.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>
#include <string_view>

namespace zyr::text {

constexpr UINT CP_UTF8 = 65001;
constexpr UINT CP_1252 = 1252;

// The code page in force: read from the registry on first use.
UINT ActiveCodePage();
void SetActiveCodePage(UINT codePage); // tests and tools
void ResetCodePage();

// False when the input cannot be converted (invalid bytes, unmappable characters).
bool ToWide(std::string_view bytes, std::u16string& out);
bool FromWide(std::u16string_view wide, std::string& out);
// Conversions that replace what cannot be converted with '?'.
std::u16string Widen(std::string_view bytes);
std::string Narrow(std::u16string_view wide);

// The length of the longest prefix of bytes, at most limit, that does not cut
// a character of the active code page in two.
size_t CharacterBoundary(std::string_view bytes, size_t limit);

// Case-insensitive comparison in the active code page.
bool EqualsNoCase(std::string_view a, std::string_view b);
// A key for hashing names that EqualsNoCase compares: two texts have the same
// key exactly when EqualsNoCase holds for them.
std::u32string CaseFoldKey(std::string_view text);

} // namespace zyr::text
