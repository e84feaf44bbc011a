#include "web/ServerConnection.h"

#include "common/ServerSettings.h"
#include "platform/identity/ServerCredentials.h"
#include "web/CurlSupport.h"

namespace zyr::web {

// The account lives in the platform library, once for the process: the
// component modules' copies of this carrier present it too.
bool SetServerCredentials(std::string_view user, std::string_view password)
{
    return zyr::identity::SetServerCredentials(user, password);
}

void ClearServerCredentials()
{
    zyr::identity::ClearServerCredentials();
}

bool HaveServerCredentials()
{
    return zyr::identity::UseServerCredentials([](const char*, const char*) {});
}

bool UsesUnixSocket()
{
    return !zyr::ServerUnixSocket().empty();
}

bool IsLoopbackHost(std::string_view host)
{
    return host == "localhost" || host.starts_with("127.") || host == "::1" || host == "[::1]";
}

namespace {

// A ticket goes where the exchange cannot be taken over on the way: TLS, or
// this machine.
bool NegotiateFits(const std::string& url)
{
    CurlUrl parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    char* scheme = nullptr;
    char* host = nullptr;
    bool fits =
        curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        (std::string_view(scheme) == "https" || (std::string_view(scheme) == "http" && IsLoopbackHost(host)));
    curl_free(scheme);
    curl_free(host);
    return fits;
}

} // namespace

void ApplyServerConnection(CURL* handle, const std::string& url, const char* user, const char* password,
                           bool sendAccount)
{
    const std::string socket = zyr::ServerUnixSocket();
    curl_easy_setopt(handle, CURLOPT_UNIX_SOCKET_PATH, socket.empty() ? nullptr : socket.c_str());
    const std::string caFile = zyr::ServerCaFile();
    if (!caFile.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.c_str());
    }
    ForgetServerCredentials(handle);
    // Over the socket the server knows the peer's account: no password goes.
    if (!socket.empty() || !sendAccount) {
        return;
    }
    const auto present = [handle](const char* name, const char* secret) {
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(handle, CURLOPT_USERNAME, name);
        curl_easy_setopt(handle, CURLOPT_PASSWORD, secret != nullptr ? secret : "");
    };
    if (user != nullptr && *user != '\0') {
        present(user, password);
        return;
    }
    // curl keeps copies of the texts; the stored account is held only there.
    if (!zyr::identity::UseServerCredentials(present) && NegotiateFits(url)) {
        // Only once the server asks for it (ONLY: the first request goes
        // without); the empty name switches the library's authentication on.
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_NEGOTIATE | CURLAUTH_ONLY));
        curl_easy_setopt(handle, CURLOPT_USERNAME, "");
        curl_easy_setopt(handle, CURLOPT_PASSWORD, "");
    }
}

void ForgetServerCredentials(CURL* handle)
{
    curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(handle, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(handle, CURLOPT_PASSWORD, nullptr);
}

} // namespace zyr::web
