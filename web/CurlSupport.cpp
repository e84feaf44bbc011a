#include "web/CurlSupport.h"

#include "platform/com/MemoryGuard.h"
#include "platform/text/Ascii.h"

#include <charconv>
#include <mutex>

namespace zyr::web {

namespace {

size_t WriteBody(char* data, size_t size, size_t count, void* context)
{
    auto* sink = static_cast<ReplySink*>(context);
    sink->body.append(data, size * count);
    sink->lastActivity = std::chrono::steady_clock::now();
    return size * count;
}

// The body's room is taken once from its announced length, so that a long
// reply is not grown by doubling (which holds the old and the new copy at
// once). The announcement is only a hint: bounded, and failure is harmless.
void ReserveForBody(ReplySink& sink, std::string_view line)
{
    constexpr std::string_view kName = "content-length:";
    constexpr size_t kMaxReserve = size_t{256} << 20;
    if (line.size() <= kName.size() || !sink.body.empty()) {
        return;
    }
    if (!zyr::text::StartsWithAsciiNoCase(line, kName)) {
        return;
    }
    std::string_view value = line.substr(kName.size());
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    size_t length = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    (void)end;
    if (error != std::errc() || length == 0 || length > kMaxReserve) {
        return;
    }
    // Room taken ahead is a saving only: without it the body still grows.
    (void)zyr::com::GuardMemory([&] {
        sink.body.reserve(length);
        return S_OK;
    });
}

size_t WriteHeader(char* data, size_t size, size_t count, void* context)
{
    auto* sink = static_cast<ReplySink*>(context);
    std::string_view line(data, size * count);
    // Each response (an interim 100 Continue included) starts a new block.
    if (line.starts_with("HTTP/")) {
        sink->headers.clear();
        sink->headersEnded = false;
    } else if (line == "\r\n" || line == "\n") {
        sink->headersEnded = true;
    }
    sink->headers.append(line);
    ReserveForBody(*sink, line);
    sink->lastActivity = std::chrono::steady_clock::now();
    return size * count;
}

// Ends the transfer when nothing has been sent or received for the idle
// limit: a receive time-out in the sense of "no data for that long".
int Progress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent)
{
    auto* sink = static_cast<ReplySink*>(context);
    auto now = std::chrono::steady_clock::now();
    if (sent != sink->lastSent) {
        sink->lastSent = sent;
        sink->lastActivity = now;
        return 0;
    }
    if (now - sink->lastActivity > sink->idleLimit) {
        sink->idleExpired = true;
        return 1;
    }
    return 0;
}

} // namespace

CurlEasy NewCurlEasy()
{
    static std::once_flag started;
    static bool ready = false;
    std::call_once(started, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    if (!ready) {
        return nullptr;
    }
    return CurlEasy(curl_easy_init());
}

void ApplyCommonOptions(CURL* handle)
{
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(kDefaultIdleLimit.count()));
}

void AttachSink(CURL* handle, ReplySink& sink)
{
    sink.lastActivity = std::chrono::steady_clock::now();
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &WriteHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, sink.error);
}

std::string TransportFailureText(CURLcode code, const ReplySink& sink)
{
    std::string message;
    if (sink.idleExpired) {
        message =
            "Operation timed out: no data received for " + std::to_string(sink.idleLimit.count()) + " ms";
    } else if (sink.error[0] != '\0') {
        message = sink.error;
    } else {
        message = curl_easy_strerror(code);
    }
    if (message.size() > 1023) {
        message.resize(1023);
    }
    return "800 " + message;
}

} // namespace zyr::web
