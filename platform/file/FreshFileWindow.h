// The start-up window of freshly written cache files (see cache/FreshCache.h).
// Held once for the process in the platform library: the component module that
// writes the files at sign-in and the snap-in that reads them right after each
// carry a cache library of their own, and a window in each would never meet.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace zyr::file {

struct FreshFileWindow {
    std::optional<std::filesystem::file_time_type> since;    // open since; empty when closed
    std::set<std::string, std::less<>> read;                 // files read fresh once already
    std::map<std::string, std::string, std::less<>> offered; // texts their writers offered
};

// The process's window: the console's thread only, start-up runs there.
FreshFileWindow& ProcessFreshFileWindow();

} // namespace zyr::file
