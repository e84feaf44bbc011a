#include "platform/log/LogSink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <syslog.h>

namespace zyr::log {

namespace {

class SystemLogSink : public LogSink {
public:
    void Event(std::string_view source, std::string_view text) override
    {
        Open(source);
        syslog(LOG_USER | LOG_INFO, "%.*s", static_cast<int>(text.size()), text.data());
    }
    void Debug(std::string_view line) override
    {
        Open(kEventSource);
        syslog(LOG_USER | LOG_DEBUG, "%.*s", static_cast<int>(line.size()), line.data());
        const char* flag = std::getenv("ZYR_DEBUG");
        if (flag != nullptr && std::strcmp(flag, "1") == 0) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
        }
    }

private:
    // openlog keeps the ident pointer, so the ident lives here.
    void Open(std::string_view source)
    {
        if (!opened_ || ident_ != source) {
            ident_ = source;
            openlog(ident_.c_str(), LOG_PID, LOG_USER);
            opened_ = true;
        }
    }
    std::string ident_;
    bool opened_ = false;
};

SystemLogSink& SystemSink()
{
    static SystemLogSink sink;
    return sink;
}

LogSink* g_installed = nullptr;

} // namespace

LogSink& Sink()
{
    return g_installed != nullptr ? *g_installed : SystemSink();
}

void InstallLogSink(LogSink* sink)
{
    g_installed = sink;
}

void ResetLogSink()
{
    g_installed = nullptr;
}

void ReportEvent(std::string_view text)
{
    Sink().Event(kEventSource, text);
}

void WriteDebugLine(std::string_view line)
{
    Sink().Debug(line);
}

} // namespace zyr::log
