// How zyr-reg spells value types and data: REG_* type names, the /d argument
// of "add" turned into value bytes, and value bytes shown by "query".
#pragma once

#include "platform/registry/Registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace zyr::regtool {

std::string TypeName(DWORD type);
// REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY,
// REG_NONE, any letter case.
bool ParseTypeName(std::string_view name, DWORD& type);

// Builds the bytes of a value from the /d text: texts get their terminator;
// REG_MULTI_SZ splits at separator (the two characters \0 by default);
// numbers are decimal or 0x-prefixed hex; REG_BINARY and REG_NONE are pairs
// of hex digits. False when the text does not fit the type.
bool ParseData(DWORD type, std::string_view text, std::string_view separator, std::vector<BYTE>& out);

// The data as query shows it.
std::string FormatData(DWORD type, const std::vector<BYTE>& data);

} // namespace zyr::regtool
