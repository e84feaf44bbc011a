// Comma-separated values: one field, quoted where it must be. A field holding
// a comma, a double quote, a carriage return or a line feed is enclosed in
// double quotes, with each double quote doubled.
#pragma once

#include <string>
#include <string_view>

namespace zyr {

std::string CsvField(std::string_view text);

} // namespace zyr
