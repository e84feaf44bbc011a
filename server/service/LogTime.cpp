#include "server/service/LogTime.h"

#include "platform/text/LocalTime.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace zyr::server {

namespace {

bool Number(std::string_view text, int& value, size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> Split(std::string_view text, char sep)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        size_t end = text.find(sep, start);
        parts.push_back(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool IsLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool ValidDate(int y, int m, int d)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1000 || m < 1 || m > 12 || d < 1) {
        return false;
    }
    int last = kDays[m - 1] + ((m == 2 && IsLeap(y)) ? 1 : 0);
    return d <= last;
}

bool ParseDate(std::string_view text, int& y, int& m, int& d)
{
    auto parts = Split(text, '/');
    return parts.size() == 3 && Number(parts[0], m, 2) && Number(parts[1], d, 2) && Number(parts[2], y, 4) &&
           ValidDate(y, m, d);
}

// "H:M:S", or "H:M" when seconds are optional.
bool ParseClock(std::string_view text, bool secondsOptional, int& h, int& mi, int& s)
{
    auto clock = Split(text, ':');
    s = 0;
    return (clock.size() == 3 || (secondsOptional && clock.size() == 2)) && Number(clock[0], h, 2) &&
           Number(clock[1], mi, 2) && (clock.size() == 2 || Number(clock[2], s, 2)) && h <= 23 && mi <= 59 &&
           s <= 59;
}

std::string FormatTime(int y, int mo, int d, int h, int mi, int s)
{
    char out[96];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return out;
}

} // namespace

std::string FormatLocalTime(std::time_t when)
{
    return zyr::text::LocalTimeText(when);
}

std::optional<std::string> ParseConsoleDate(std::string_view text)
{
    int y = 0, m = 0, d = 0;
    if (!ParseDate(text, y, m, d)) {
        return std::nullopt;
    }
    return FormatTime(y, m, d, 0, 0, 0);
}

std::optional<std::string> ParseConsoleDateTime(std::string_view text)
{
    size_t sep = text.find_first_of(" +T");
    if (sep == std::string_view::npos) {
        return std::nullopt;
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!ParseDate(text.substr(0, sep), y, mo, d) || !ParseClock(text.substr(sep + 1), false, h, mi, s)) {
        return std::nullopt;
    }
    return FormatTime(y, mo, d, h, mi, s);
}

std::optional<std::string> ParseIsoTime(std::string_view text)
{
    size_t sep = text.find_first_of(" +T");
    auto parts = Split(text.substr(0, sep), '-');
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (parts.size() != 3 || parts[0].size() != 4 || !Number(parts[0], y, 4) || !Number(parts[1], mo, 2) ||
        !Number(parts[2], d, 2) || !ValidDate(y, mo, d) ||
        (sep != std::string_view::npos && !ParseClock(text.substr(sep + 1), true, h, mi, s))) {
        return std::nullopt;
    }
    return FormatTime(y, mo, d, h, mi, s);
}

} // namespace zyr::server
