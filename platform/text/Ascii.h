// Byte-wise helpers for protocol and file-format texts: hexadecimal digits and
// a case that folds A-Z only. Names that people type compare with EqualsNoCase
// of CodePage.h instead, which knows the code page in force.
#pragma once

#include <string>
#include <string_view>

namespace zyr::text {

// The value of a hexadecimal digit (either case), -1 for any other byte.
int HexDigitValue(char c);
// The digit for the low four bits of value.
char HexDigitChar(unsigned value, bool upper = true);
// Two hexadecimal digits for one byte.
void AppendHexByte(std::string& out, unsigned char byte, bool upper = true);

char AsciiLower(char c);
char AsciiUpper(char c);
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
bool StartsWithAsciiNoCase(std::string_view text, std::string_view prefix);
// The text without the spaces before and after it.
std::string_view TrimSpaces(std::string_view text);

} // namespace zyr::text
