#include "platform/text/LocalTime.h"

#include <cstdio>

namespace zyr::text {

std::string LocalTimeText(std::time_t when)
{
    std::tm parts{};
    localtime_r(&when, &parts);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

} // namespace zyr::text
