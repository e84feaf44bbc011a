// Where the diagnostic trace goes: the event log (syslog, ident "ZyrSecurity",
// information priority) and the debug output (syslog at debug priority, and
// standard error as well when ZYR_DEBUG=1). Tests install a recording sink.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyr::log {

constexpr const char* kEventSource = "ZyrSecurity";

class LogSink {
public:
    virtual ~LogSink() = default;
    // One information event of the given source.
    virtual void Event(std::string_view source, std::string_view text) = 0;
    // One line of debug output, without a line end.
    virtual void Debug(std::string_view line) = 0;
};

// The installed sink; the system sink until another is installed.
LogSink& Sink();
void InstallLogSink(LogSink* sink); // not owned; null restores the system sink
void ResetLogSink();

void ReportEvent(std::string_view text);
void WriteDebugLine(std::string_view line);

// Records what reaches it.
class RecordingLogSink : public LogSink {
public:
    struct EventRecord {
        std::string source;
        std::string text;
    };
    void Event(std::string_view source, std::string_view text) override
    {
        events.push_back({std::string(source), std::string(text)});
    }
    void Debug(std::string_view line) override { debugLines.emplace_back(line); }

    std::vector<EventRecord> events;
    std::vector<std::string> debugLines;
};

// Installs a RecordingLogSink for the lifetime of the scope.
class ScopedRecordingLog {
public:
    ScopedRecordingLog() { InstallLogSink(&recorder); }
    ~ScopedRecordingLog() { ResetLogSink(); }
    ScopedRecordingLog(const ScopedRecordingLog&) = delete;
    ScopedRecordingLog& operator=(const ScopedRecordingLog&) = delete;
    RecordingLogSink recorder;
};

} // namespace zyr::log
