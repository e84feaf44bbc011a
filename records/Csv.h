// Comma-separated values as the lists export them: a field holding a comma, a
// double quote, a carriage return or a line feed is enclosed in double quotes,
// with each double quote doubled; rows end with a carriage return and a line feed.
#pragma once

#include <string>
#include <string_view>

namespace zyr::records {

// One field, quoted where it must be.
std::string CsvField(std::string_view text);

} // namespace zyr::records
