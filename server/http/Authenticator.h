// Who is asking: the account behind a request, read from the Unix socket's
// peer credentials, from HTTP Basic credentials checked with PAM or from a
// Kerberos ticket (Negotiate), and the limit on failed attempts per client
// address.
#pragma once

#include "server/negotiate/NegotiateAcceptor.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::server {

inline constexpr const char* kPamService = "zyr-security-server";
inline constexpr const char* kAuthRealm = "ZYR Security";

// The account of the process at the other end of a Unix socket; false when
// the credentials or the account cannot be read.
bool PeerAccount(int fd, std::string& account);

// The account named by the user part of Basic credentials ("login" or
// "DOMAIN\login"), and the name PAM knows it by.
bool ReadBasicUser(std::string_view user, std::string& account, std::string& pamUser);

// What HTTP authentication has proved on one connection: the Basic
// credentials accepted, so that PAM is asked once per connection, or the
// account proved with Negotiate, whose clients send their token once per
// connection. Wiped at the connection's end.
struct ConnectionProof {
    std::string credentials;
    std::string account;
    bool negotiated = false;
    ~ConnectionProof();
    void Forget();
};

// HTTP authentication: Basic credentials checked with PAM, Negotiate tokens
// checked with the service's keytab, or either; failures of both count
// toward one limit per address.
class HttpAuthenticator {
public:
    struct Limits {
        int failures = 5;                // failed attempts allowed per address ...
        std::chrono::seconds window{60}; // ... within this time
        std::chrono::seconds block{60};  // then refused for this long
    };
    struct Schemes {
        bool basic = true;
        bool negotiate = false;
        std::string keytab; // the service's keys (HTTP/host@REALM), for Negotiate
        // Realm to the domain its accounts are named with; a realm not listed
        // gives its first label ("PLANT.TEST": "PLANT").
        std::map<std::string, std::string> realmDomains;
    };
    enum class Verdict { Ok, Refused, Limited };
    struct Proof {
        std::string account;
        bool negotiated = false;
        // With Negotiate: the server's token for the reply (mutual
        // authentication), sent as "WWW-Authenticate: Negotiate <token>".
        std::string replyToken;
        // Why credentials were refused, for the log.
        std::string refusal;
    };

    explicit HttpAuthenticator(Schemes schemes);
    HttpAuthenticator(Schemes schemes, Limits limits);

    // Whether the schemes can be served: the keytab for Negotiate holds keys.
    bool Usable(std::string& reason) const;
    // Ok with the account; Refused (401) when the credentials are missing or
    // wrong; Limited (429) while the address has failed too often.
    Verdict Check(const std::string& address, std::string_view authorization, Proof& proof);
    // Check, for a request on a connection: what the connection has proved
    // stands for a request with the same credentials (Basic) or with none
    // (Negotiate).
    Verdict Admit(const std::string& address, std::string_view authorization, ConnectionProof& connection,
                  Proof& proof);
    // The "WWW-Authenticate" values of a 401, Negotiate first.
    std::vector<std::string> Challenges() const;
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
    bool CheckBasic(std::string_view authorization, std::string& account) const;
    bool CheckNegotiate(std::string_view token, Proof& proof) const;

    Schemes schemes_;
    NegotiateAcceptor acceptor_;
    Limits limits_;
    std::mutex mutex_;
    std::map<std::string, Attempts> attempts_;
};

} // namespace zyr::server
