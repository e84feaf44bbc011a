#include "cache/FreshCache.h"

#include "cache/CacheFiles.h"
#include "platform/file/FreshFileWindow.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

namespace zyr::cache {
namespace {

using Window = zyr::file::FreshFileWindow;

Window& CurrentWindow()
{
    return zyr::file::ProcessFreshFileWindow();
}

} // namespace

void BeginFreshCacheWindow()
{
    // File times come from the kernel's coarse clock, which lags behind this
    // one by a few milliseconds: a second's allowance keeps a file written
    // just now from looking older than the window.
    CurrentWindow().since = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(1);
    CurrentWindow().read.clear();
    CurrentWindow().offered.clear();
}

void EndFreshCacheWindow()
{
    CurrentWindow().since.reset();
    CurrentWindow().read.clear();
    CurrentWindow().offered.clear();
}

void OfferFreshCacheText(std::string_view filePath, std::string plainText)
{
    Window& window = CurrentWindow();
    if (window.since && !window.read.contains(filePath)) {
        window.offered.insert_or_assign(std::string(filePath), std::move(plainText));
    }
}

bool ReadFreshCacheFile(std::string_view filePath, std::string& plainText)
{
    plainText.clear();
    Window& window = CurrentWindow();
    if (!window.since || window.read.contains(filePath)) {
        return false;
    }
    if (auto offered = window.offered.find(filePath); offered != window.offered.end()) {
        plainText = std::move(offered->second);
        window.offered.erase(offered);
        window.read.emplace(filePath);
        return !plainText.empty();
    }
    std::error_code error;
    const auto written = std::filesystem::last_write_time(std::filesystem::path(filePath), error);
    if (error || written < *window.since) {
        return false;
    }
    window.read.emplace(filePath);
    if (FAILED(ReadCacheFile(filePath, plainText)) || plainText.empty()) {
        plainText.clear();
        return false;
    }
    return true;
}

} // namespace zyr::cache
