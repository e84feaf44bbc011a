// Times of the log and the audit trail: "YYYY-MM-DD HH:MM:SS" in the server's
// local time, which sorts as text. The console sends dates as month/day/year
// ("12/9/2026") and single entries as "12/9/2026 13:4:9".
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace zyr::server {

std::string FormatLocalTime(std::time_t when);
// "M/D/YYYY" to "YYYY-MM-DD 00:00:00"; nothing when it is not a valid date.
std::optional<std::string> ParseConsoleDate(std::string_view text);
// "M/D/YYYY H:M:S" (space, "+" or "T" between date and time) to "YYYY-MM-DD HH:MM:SS".
std::optional<std::string> ParseConsoleDateTime(std::string_view text);
// "YYYY-MM-DD", with " HH:MM" or " HH:MM:SS" after it (space, "+" or "T"
// before the time), to "YYYY-MM-DD HH:MM:SS"; nothing when it is not a valid time.
std::optional<std::string> ParseIsoTime(std::string_view text);

} // namespace zyr::server
