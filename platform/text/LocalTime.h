// A moment as the security database writes its times: "YYYY-MM-DD HH:MM:SS"
// in this computer's local time.
#pragma once

#include <ctime>
#include <string>

namespace zyr::text {

std::string LocalTimeText(std::time_t when);

} // namespace zyr::text
