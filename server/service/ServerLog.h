// The server's diagnostic lines on standard error, filtered by one
// process-wide level ("error", "warning", "info", "debug"; "info" unless set).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace zyr::server {

enum class LogLevel { Error = 0, Warning = 1, Info = 2, Debug = 3 };

bool ParseLogLevel(std::string_view text, LogLevel& level);
void SetLogLevel(LogLevel level);
void ResetLogLevel();

void LogError(const std::string& line);
void LogWarning(const std::string& line);
void LogInfo(const std::string& line);
void LogDebug(const std::string& line);

// A warning that may repeat quickly (a failing accept, a full disk) is
// written at most once a second; the next line says how many were left out.
class RepeatedWarning {
public:
    void Log(const std::string& line);

private:
    std::atomic<int64_t> lastMs_{INT64_MIN / 2};
    std::atomic<uint64_t> skipped_{0};
};

} // namespace zyr::server
