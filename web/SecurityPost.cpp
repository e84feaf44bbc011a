#include "web/SecurityPost.h"

#include "common/ErrorTrace.h"
#include "web/CurlSupport.h"
#include "web/ServerConnection.h"

#include <string_view>

namespace zyr::web {

namespace {

enum class UrlKind { Unusable, Http, Https, Other };

UrlKind KindOf(const std::string& url)
{
    CurlUrl parsed(curl_url());
    if (!parsed ||
        curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return UrlKind::Unusable;
    }
    char* scheme = nullptr;
    char* host = nullptr;
    UrlKind kind = UrlKind::Unusable;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK && host[0] != '\0') {
        std::string_view name(scheme);
        kind = name == "http" ? UrlKind::Http : name == "https" ? UrlKind::Https : UrlKind::Other;
    }
    curl_free(scheme);
    curl_free(host);
    return kind;
}

// Scheme, host and port of an absolute URL ("" when it cannot be parsed):
// credentials follow a redirect only within the same origin.
std::string OriginOf(const std::string& url)
{
    CurlUrl parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return {};
    }
    std::string origin;
    for (CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
        char* text = nullptr;
        if (curl_url_get(parsed.get(), part, &text, CURLU_DEFAULT_PORT) != CURLUE_OK) {
            return {};
        }
        origin.append(text).push_back('|');
        curl_free(text);
    }
    return origin;
}

// The value of the first "Location" header line of a raw header block, or
// empty.
std::string FindLocation(std::string_view headers)
{
    std::vector<std::string_view> values = HeaderValues(headers, "location");
    return values.empty() ? std::string() : std::string(values.front());
}

CurlList FormHeaders()
{
    CurlList list;
    for (const char* header :
         {"Accept: text/*", "User-Agent: QDM", "Content-type: application/x-www-form-urlencoded",
          // No "Expect: 100-continue" round trip before the body.
          "Expect:"}) {
        curl_slist* grown = curl_slist_append(list.get(), header);
        if (grown == nullptr) {
            return nullptr;
        }
        list.release();
        list.reset(grown);
    }
    return list;
}

// One request on a fresh handle. Returns false with result set when the
// transport failed.
bool Perform(CURL* handle, const std::string& url, const curl_slist* headers, ReplySink& sink,
             std::string& result, const char* user, const char* password, bool sendAccount = true)
{
    ApplyCommonOptions(handle);
    ApplyServerConnection(handle, url, user, password, sendAccount);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    AttachSink(handle, sink);
    CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK) {
        result = TransportFailureText(code, sink);
        return false;
    }
    if (!sink.headersEnded) {
        result = "800 The reply ended inside its headers.";
        return false;
    }
    return true;
}

long StatusOf(CURL* handle)
{
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

std::string Post(const std::string& url, const std::string& body, const char* user, const char* password)
{
    UrlKind kind = KindOf(url);
    if (kind != UrlKind::Http && kind != UrlKind::Https) {
        DebugPrint("PostSecurityRequest: Can only use URLs beginning with http://");
        return {};
    }
    CurlList headers = FormHeaders();
    CurlEasy handle = NewCurlEasy();
    if (!handle || !headers) {
        return "800 " + std::string(curl_easy_strerror(CURLE_OUT_OF_MEMORY));
    }
    std::string result;
    ReplySink sink;
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    // The body goes out with its terminating zero byte as the last byte.
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size() + 1));
    const bool carried = Perform(h, url, headers.get(), sink, result, user, password);
    ForgetServerCredentials(h);
    if (!carried) {
        return result;
    }
    long status = StatusOf(h);

    if (status == 301 || status == 302 || status == 303) {
        std::string location = FindLocation(sink.headers);
        handle.reset();
        if (location.empty()) {
            DebugPrint("PostSecurityRequest: Site redirects with no new location");
            return {};
        }
        UrlKind redirected = KindOf(location);
        if (redirected == UrlKind::Unusable) {
            DebugPrint("PostSecurityRequest: The redirected URL could not be parsed.");
            return {};
        }
        if (redirected != UrlKind::Http) {
            DebugPrint("PostSecurityRequest: The redirected URL does not reference a HTTP resource.");
            return {};
        }
        handle = NewCurlEasy();
        if (!handle) {
            return "800 " + std::string(curl_easy_strerror(CURLE_OUT_OF_MEMORY));
        }
        h = handle.get();
        sink = ReplySink();
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        const std::string origin = OriginOf(url);
        const bool sameOrigin = !origin.empty() && origin == OriginOf(location);
        const bool carriedOn = Perform(h, location, headers.get(), sink, result, user, password, sameOrigin);
        ForgetServerCredentials(h);
        if (!carriedOn) {
            return result;
        }
        status = StatusOf(h);
        if (status != 200) {
            DebugPrint("PostSecurityRequest: Got status code: 0x%lx.", static_cast<unsigned long>(status));
            return {};
        }
    }

    if (status >= 400) {
        return std::to_string(status);
    }
    if (sink.headers.find("ZYR Error:", 1) != std::string::npos) {
        return "800";
    }
    return std::move(sink.body);
}

} // namespace

} // namespace zyr::web

std::string PostSecurityRequest(const std::string& url, const std::string& body, const char* user,
                                const char* password)
{
    try {
        return zyr::web::Post(url, body, user, password);
    } catch (...) {
        return {};
    }
}
