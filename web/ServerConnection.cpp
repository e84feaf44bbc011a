#include "web/ServerConnection.h"

#include "common/ServerSettings.h"
#include "platform/text/BoundedText.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

// The account SetServerCredentials set in this process: 1 with user and
// password pointing at it, 0 without one. A program that exports it (the
// command-line tool) lends the account to the framework's component modules,
// whose requests go through copies of this carrier of their own.
extern "C" int ZyrProcessServerCredentials(const char** user, const char** password);

namespace zyr::web {

namespace {

struct Credentials {
    zyr::text::BoundedText<256> user;
    zyr::text::BoundedText<256> password;
    bool set = false;
};

Credentials& Stored()
{
    static Credentials credentials;
    return credentials;
}

} // namespace

bool SetServerCredentials(std::string_view user, std::string_view password)
{
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(ClearServerCredentials); });
    Credentials& stored = Stored();
    stored.user.Wipe();
    stored.password.Wipe();
    stored.set = false;
    if (user.empty() || user.size() > stored.user.capacity() ||
        password.size() > stored.password.capacity()) {
        return false;
    }
    stored.user.Assign(user);
    stored.password.Assign(password);
    stored.set = true;
    return true;
}

void ClearServerCredentials()
{
    Credentials& stored = Stored();
    stored.user.Wipe();
    stored.password.Wipe();
    stored.set = false;
}

bool HaveServerCredentials()
{
    return Stored().set;
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
    const Credentials& stored = Stored();
    if (user == nullptr || *user == '\0') {
        user = stored.set ? stored.user.c_str() : nullptr;
        password = stored.set ? stored.password.c_str() : nullptr;
    }
    if (user == nullptr) {
        using Lookup = int (*)(const char**, const char**);
        static const Lookup host = [] {
            auto found = reinterpret_cast<Lookup>(::dlsym(RTLD_DEFAULT, "ZyrProcessServerCredentials"));
            return found != &ZyrProcessServerCredentials ? found : nullptr;
        }();
        if (host != nullptr && host(&user, &password) == 0) {
            user = nullptr;
        }
    }
    if (user == nullptr) {
        ForgetServerCredentials(handle);
        return;
    }
    curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(handle, CURLOPT_USERNAME, user);
    curl_easy_setopt(handle, CURLOPT_PASSWORD, password != nullptr ? password : "");
}

void ForgetServerCredentials(CURL* handle)
{
    curl_easy_setopt(handle, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(handle, CURLOPT_PASSWORD, nullptr);
}

} // namespace zyr::web

extern "C" int ZyrProcessServerCredentials(const char** user, const char** password)
{
    const auto& stored = zyr::web::Stored();
    if (!stored.set || user == nullptr || password == nullptr) {
        return 0;
    }
    *user = stored.user.c_str();
    *password = stored.password.c_str();
    return 1;
}
