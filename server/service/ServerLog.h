// The server's diagnostic lines on standard error, filtered by one
// process-wide level ("error", "warning", "info", "debug"; "info" unless set).
#pragma once

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

} // namespace zyr::server
