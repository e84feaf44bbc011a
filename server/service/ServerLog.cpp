#include "server/service/ServerLog.h"

#include <chrono>

#include <atomic>
#include <cstdio>

namespace zyr::server {

namespace {

std::atomic<int> g_level{static_cast<int>(LogLevel::Info)};

void Write(LogLevel level, const char* tag, const std::string& line)
{
    if (static_cast<int>(level) <= g_level.load()) {
        std::fprintf(stderr, "zyr-security-server: %s: %s\n", tag, line.c_str());
    }
}

} // namespace

bool ParseLogLevel(std::string_view text, LogLevel& level)
{
    if (text == "error") {
        level = LogLevel::Error;
    } else if (text == "warning" || text == "warn") {
        level = LogLevel::Warning;
    } else if (text == "info") {
        level = LogLevel::Info;
    } else if (text == "debug") {
        level = LogLevel::Debug;
    } else {
        return false;
    }
    return true;
}

void SetLogLevel(LogLevel level)
{
    g_level.store(static_cast<int>(level));
}

void ResetLogLevel()
{
    g_level.store(static_cast<int>(LogLevel::Info));
}

void LogError(const std::string& line)
{
    Write(LogLevel::Error, "error", line);
}
void LogWarning(const std::string& line)
{
    Write(LogLevel::Warning, "warning", line);
}
void LogInfo(const std::string& line)
{
    Write(LogLevel::Info, "info", line);
}
void LogDebug(const std::string& line)
{
    Write(LogLevel::Debug, "debug", line);
}

void RepeatedWarning::Log(const std::string& line)
{
    int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
    int64_t last = lastMs_.load();
    if (now - last < 1000 || !lastMs_.compare_exchange_strong(last, now)) {
        skipped_.fetch_add(1);
        return;
    }
    uint64_t skipped = skipped_.exchange(0);
    Write(LogLevel::Warning, "warning",
          skipped == 0 ? line : line + " (" + std::to_string(skipped) + " more like it left out)");
}

} // namespace zyr::server
