#include "roles/RecordSupport.h"

#include "cache/TextCipher.h"
#include "common/ErrorTrace.h"
#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "web/WebPage.h"

#include <utility>
#include <uuid/uuid.h>

namespace zyr::records {

void TraceCut(std::string_view field, std::string_view text, size_t capacity)
{
    TraceError("roles", __LINE__, "Records.SetField", field,
               "A text from the server is longer than its field and was cut to " + std::to_string(capacity) +
                   " bytes",
               E_FAIL, text.size() > 64 ? std::string(text.substr(0, 64)) + "..." : std::string(text));
}

namespace {

thread_local SentChange lastSentChange;

} // namespace

void NoteSentChange(SentChange change)
{
    lastSentChange = std::move(change);
}

const SentChange& LastSentChange()
{
    return lastSentChange;
}

void ForgetSentChange()
{
    lastSentChange = SentChange{};
}

std::string_view FetchFailureText(FetchResult result)
{
    switch (result) {
    case FetchResult::Fetched:
        return {};
    case FetchResult::NoServer:
        return "The security server URL is not configured.";
    case FetchResult::NoCacheFolder:
        return "The client's cache folder is not configured.";
    case FetchResult::NotRead:
        return "The security server could not be read.";
    case FetchResult::NotAList:
        return "The security server could not be read: its reply is not a list.";
    }
    return "The security server could not be read.";
}

ServerUrl ServerUrl::FromConfiguration()
{
    // Records share the text of the URL they were made with; a new value of
    // the configuration starts a new shared text.
    static std::shared_ptr<const std::string> last;
    char buffer[256];
    DWORD size = sizeof buffer;
    ServerUrl url;
    if (FAILED(GetSecurityServerUrl(buffer, &size))) {
        return url;
    }
    std::string_view current(buffer);
    if (!last || *last != current) {
        last = std::make_shared<const std::string>(current);
    }
    url.url_ = last;
    return url;
}

std::string NewIdentity(bool upperCase)
{
    uuid_t id;
    uuid_generate(id);
    char text[37];
    if (upperCase) {
        uuid_unparse_upper(id, text);
    } else {
        uuid_unparse_lower(id, text);
    }
    std::string identity;
    identity.reserve(38);
    identity.append(1, '{').append(text).append(1, '}');
    return identity;
}

bool ListDecryptor::Decrypt(std::string_view encrypted)
{
    plain_.clear();
    if (encrypted.empty()) {
        return true;
    }
    if (!zyr::cipher::Decrypt(encrypted, plain_)) {
        plain_.clear();
        return false;
    }
    size_t zero = plain_.find('\0');
    if (zero != std::string::npos) {
        plain_.resize(zero);
    }
    return true;
}

bool SendGetChange(const std::string& url)
{
    std::string reply;
    bool ok = GetWebPage(url, reply, true);
    return zyr::ReportGetChange(ok, reply, zyr::web::LastHttpStatus() != 0);
}

std::string EncryptList(std::string_view plain)
{
    if (plain.empty()) {
        return {};
    }
    return zyr::cipher::Encrypt(plain);
}

} // namespace zyr::records
