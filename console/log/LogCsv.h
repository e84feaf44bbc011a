// The log entries shown, as comma-separated values (common/CsvField.h): a header
// row, then one row per entry. Texts stay in the configured code page.
#pragma once

#include "common/CsvField.h"

#include <span>
#include <string>
#include <string_view>

class CKVTLog;

namespace zyr::console {

// "Date/Time,User,Action,Status" and one row per entry, in order.
std::string FormatLogCsv(std::span<const CKVTLog* const> entries);

} // namespace zyr::console
