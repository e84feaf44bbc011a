// The log entries shown, as comma-separated values: a header row, then one
// row per entry. Fields holding a comma, a double quote, a carriage return or
// a line feed are enclosed in double quotes, with each double quote doubled;
// rows end with a carriage return and a line feed. Texts stay in the
// configured code page.
#pragma once

#include <span>
#include <string>
#include <string_view>

class CKVTLog;

namespace zyr::console {

// One field, quoted where it must be.
std::string CsvField(std::string_view text);

// "Date/Time,User,Action,Status" and one row per entry, in order.
std::string FormatLogCsv(std::span<const CKVTLog* const> entries);

} // namespace zyr::console
