// Who is asking: the account behind a request, read from the Unix socket's
// peer credentials or from HTTP Basic credentials checked with PAM, and the
// limit on failed attempts per client address.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace zyr::server {

inline constexpr const char* kPamService = "zyr-security-server";
inline constexpr const char* kAuthRealm = "ZYR Security";

// The account of the process at the other end of a Unix socket; false when
// the credentials or the account cannot be read.
bool PeerAccount(int fd, std::string& account);

// The account named by the user part of Basic credentials ("login" or
// "DOMAIN\login"), and the name PAM knows it by.
bool ReadBasicUser(std::string_view user, std::string& account, std::string& pamUser);

// HTTP Basic: the Authorization field's credentials, checked with PAM.
class BasicAuthenticator {
public:
    struct Limits {
        int failures = 5;                // failed attempts allowed per address ...
        std::chrono::seconds window{60}; // ... within this time
        std::chrono::seconds block{60};  // then refused for this long
    };
    enum class Verdict { Ok, Refused, Limited };

    BasicAuthenticator();
    explicit BasicAuthenticator(Limits limits);

    // Ok with the account; Refused (401) when the credentials are missing or
    // wrong; Limited (429) while the address has failed too often.
    Verdict Check(const std::string& address, std::string_view authorization, std::string& account);
    // Seconds until the address may try again.
    long RetryAfter(const std::string& address);

private:
    bool Failed(const std::string& address);
    bool Blocked(const std::string& address);

    struct Attempts {
        int failures = 0;
        std::chrono::steady_clock::time_point first;
        std::chrono::steady_clock::time_point blockedUntil;
    };
    Limits limits_;
    std::mutex mutex_;
    std::map<std::string, Attempts> attempts_;
};

} // namespace zyr::server
