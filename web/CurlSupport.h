// What both carriers need around libcurl: owning handles, one-time library
// start-up, the options every request of ours shares and the reply sinks.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::web {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

struct CurlUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;

// A new easy handle (the library is started once per process), or nothing.
CurlEasy NewCurlEasy();

// Options shared by every request: HTTP/1.1 only, no proxy, no signals, the
// connection time-out.
void ApplyCommonOptions(CURL* handle);

// The idle limit used when none is configured: the transport gives up when
// nothing arrives for this long.
constexpr std::chrono::milliseconds kDefaultIdleLimit{60000};

// Collects one reply: the raw header block of the last response (status line
// and header lines with their CRLF), the body, and the time of the last
// activity for the idle limit.
struct ReplySink {
    std::string headers;
    std::string body;
    std::chrono::milliseconds idleLimit = kDefaultIdleLimit;
    std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
    curl_off_t lastSent = 0;
    bool idleExpired = false;
    // The blank line that ends the last header block has arrived: a reply
    // cut off before it is no reply, whatever the transport says.
    bool headersEnded = false;
    char error[CURL_ERROR_SIZE] = {};
};
// Points the handle's write, header, progress and error sinks at sink.
void AttachSink(CURL* handle, ReplySink& sink);

// The values of the header lines named name ("location", without the
// colon; any letter case) in a raw header block, blanks trimmed, in order.
std::vector<std::string_view> HeaderValues(std::string_view headers, std::string_view name);

// "800 " and the transport's message for a failed request.
std::string TransportFailureText(CURLcode code, const ReplySink& sink);

} // namespace zyr::web
