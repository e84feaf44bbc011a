// The log entries shown, as comma-separated values (records/Csv.h): a header
// row, then one row per entry. Texts stay in the configured code page.
#pragma once

#include "records/Csv.h"

#include <span>
#include <string>
#include <string_view>

class CKVTLog;

namespace zyr::console {

using zyr::records::CsvField;

// "Date/Time,User,Action,Status" and one row per entry, in order.
std::string FormatLogCsv(std::span<const CKVTLog* const> entries);

} // namespace zyr::console
