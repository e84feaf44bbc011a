#include "web/ServerConnection.h"

#include "common/ServerSettings.h"
#include "platform/identity/ServerCredentials.h"

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

void ApplyServerConnection(CURL* handle, const char* user, const char* password, bool sendAccount)
{
    const std::string socket = zyr::ServerUnixSocket();
    curl_easy_setopt(handle, CURLOPT_UNIX_SOCKET_PATH, socket.empty() ? nullptr : socket.c_str());
    const std::string caFile = zyr::ServerCaFile();
    if (!caFile.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.c_str());
    }
    // Over the socket the server knows the peer's account: no password goes.
    if (!socket.empty() || !sendAccount) {
        ForgetServerCredentials(handle);
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
    // curl keeps copies of the texts; the stored account is held only here.
    if (!zyr::identity::UseServerCredentials(present)) {
        ForgetServerCredentials(handle);
    }
}

void ForgetServerCredentials(CURL* handle)
{
    curl_easy_setopt(handle, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(handle, CURLOPT_PASSWORD, nullptr);
}

} // namespace zyr::web
