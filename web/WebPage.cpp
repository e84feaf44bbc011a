#include "web/WebPage.h"

#include "common/ErrorTrace.h"
#include "common/ServerSettings.h"
#include "platform/registry/RegKey.h"
#include "platform/text/CodePage.h"
#include "web/CurlSupport.h"
#include "web/HostProbe.h"
#include "web/ServerConnection.h"

#include <algorithm>

namespace zyr::web {

namespace {

constexpr const char* kMachineKey = "SOFTWARE\\Tarnwick\\ZYR";
constexpr std::string_view kDocumentEnd = "</DOCUMENT>";
constexpr const char* kAspErrorPage = "<html>Error in ASP</html>";
// The longest time-out in seconds whose milliseconds fit the transport's counters.
constexpr DWORD kMaxTimeOutSeconds = 2147483;

// The GET carrier's process-wide state: the session, kept until reset.
struct WebSession {
    CurlEasy handle;
    LONG appliedTimeoutMs = -1;
    long lastStatus = 0;
};

WebSession& Session()
{
    static WebSession session;
    return session;
}

bool ReadMachineDword(const char* name, DWORD& value)
{
    zyr::registry::RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, kMachineKey, KEY_QUERY_VALUE) == ERROR_SUCCESS &&
           zyr::registry::ReadDword(key, name, value);
}

// The probe asked for by "NetworkTest": false when the server's host answers
// no echo. A URL whose host cannot be taken is not probed.
bool ServerHostReachable(const std::string& url)
{
    DWORD networkTest = 0;
    if (UsesUnixSocket() || !ReadMachineDword("NetworkTest", networkTest) || networkTest == 0) {
        return true;
    }
    char host[1024];
    if (!GetUrlHost(url, host, sizeof host)) {
        return true;
    }
    return ProbeHost(host, 0) != kHostUnreachable;
}

CurlEasy OpenSession()
{
    CurlEasy handle = NewCurlEasy();
    if (!handle) {
        return nullptr;
    }
    CURL* h = handle.get();
    ApplyCommonOptions(h);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "KVTSnapin");
    // List replies run to tens of megabytes: fewer, larger reads.
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 256L * 1024L);
    // Redirects of a GET are followed, as a browser would, within HTTP(S).
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    return handle;
}

// The receive time-out of "HTTPTimeOut" in milliseconds, or -1 when none is
// configured. The value is read until it has been found once.
LONG ReceiveTimeoutMs()
{
    if (GetHttpTimeOut() == -1) {
        DWORD seconds = 0;
        if (ReadMachineDword("HTTPTimeOut", seconds)) {
            SetHttpTimeOut(static_cast<LONG>(std::min(seconds, kMaxTimeOutSeconds)));
        }
    }
    LONG seconds = GetHttpTimeOut();
    if (seconds < 0) {
        return -1;
    }
    return seconds == 0 ? 990 : seconds * 1000;
}

void TraceReplyFailure(const std::string& url, const std::string& reply)
{
    TraceError(u"web", __LINE__, u"GetWebPage", u"::InternetOpenUrl",
               u"Making the Web Call " + zyr::text::Widen(url), E_FAIL, zyr::text::Widen(reply));
}

bool Fetch(const std::string& url, std::string& reply, bool reportFailures)
{
    WebSession& session = Session();
    session.lastStatus = 0;
    if (!session.handle) {
        if (!ServerHostReachable(url)) {
            return false;
        }
        session.handle = OpenSession();
        if (!session.handle) {
            return false;
        }
    }
    CURL* h = session.handle.get();
    session.appliedTimeoutMs = ReceiveTimeoutMs();

    ReplySink sink;
    if (session.appliedTimeoutMs >= 0) {
        sink.idleLimit = std::chrono::milliseconds(session.appliedTimeoutMs);
    }
    AttachSink(h, sink);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    ApplyServerConnection(h, url);
    CURLcode code = curl_easy_perform(h);
    // The sink lives on this stack frame only; the credentials are set anew
    // for each request.
    ForgetServerCredentials(h);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
    if (code != CURLE_OK) {
        // The request could not be carried (whole): not usable, not traced.
        DebugPrint("GetWebPage: %s: %s", url.c_str(), TransportFailureText(code, sink).c_str() + 4);
        return false;
    }
    if (!sink.headersEnded) {
        DebugPrint("GetWebPage: %s: the reply ended inside its headers", url.c_str());
        return false;
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    session.lastStatus = status;

    // List replies run to tens of megabytes: the body is moved, not copied.
    if (reply.empty()) {
        reply = std::move(sink.body);
    } else {
        reply += sink.body;
    }
    sink.body = std::string();
    if (status >= 400) {
        // An HTTP error is never a usable reply, whatever its page holds.
        if (reportFailures) {
            TraceReplyFailure(url, reply);
        }
        return false;
    }
    // A document is judged in place (it is only cut after its end); the
    // other verdicts keep the text as it came for the trace.
    if (size_t marker = reply.find(kDocumentEnd); marker != std::string::npos) {
        reply.resize(marker + kDocumentEnd.size());
        return true;
    }
    std::string judged = reply;
    switch (JudgeReply(judged)) {
    case ReplyVerdict::Document:
    case ReplyVerdict::Plain:
        reply = std::move(judged);
        return true;
    case ReplyVerdict::ErrorText:
        if (reportFailures) {
            TraceReplyFailure(url, reply);
        }
        return false;
    case ReplyVerdict::AspErrorPage:
        if (reportFailures) {
            reply = std::move(judged);
            TraceReplyFailure(url, reply);
        }
        return false;
    }
    return false;
}

} // namespace

ReplyVerdict JudgeReply(std::string& reply)
{
    if (size_t marker = reply.find(kDocumentEnd); marker != std::string::npos) {
        reply.resize(marker + kDocumentEnd.size());
        return ReplyVerdict::Document;
    }
    if (reply.find("error") != std::string::npos || reply.find("Error") != std::string::npos) {
        return ReplyVerdict::ErrorText;
    }
    if (reply.find("</html>") != std::string::npos) {
        reply = kAspErrorPage;
        return ReplyVerdict::AspErrorPage;
    }
    return ReplyVerdict::Plain;
}

LONG AppliedReceiveTimeoutMs()
{
    return Session().appliedTimeoutMs;
}

long LastHttpStatus()
{
    return Session().lastStatus;
}

bool WebSessionOpen()
{
    return Session().handle != nullptr;
}

void ResetWebSession()
{
    Session().handle.reset();
    Session().appliedTimeoutMs = -1;
    Session().lastStatus = 0;
}

} // namespace zyr::web

bool GetWebPage(const std::string& url, std::string& reply, bool reportFailures)
{
    try {
        return zyr::web::Fetch(url, reply, reportFailures);
    } catch (...) {
        return false;
    }
}
