// Kerberos single sign-on over HTTP ("WWW-Authenticate: Negotiate"): the
// server's side of SPNEGO through GSSAPI, with the service key from a keytab,
// and the client's principal mapped to the DOMAIN\name the server records.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zyr::server {

struct NegotiateOutcome {
    // The client's principal ("alice@PLANT.TEST") once it is proved.
    std::string principal;
    // The token for the reply's "WWW-Authenticate: Negotiate" (base64): the
    // server's half of mutual authentication. May be empty.
    std::string replyToken;
    // Why the token was refused, for the server's log.
    std::string error;
};

class NegotiateAcceptor {
public:
    // keytab: the file that holds the service's keys (HTTP/host@REALM).
    explicit NegotiateAcceptor(std::string keytab);

    // Accepts the base64 token of an "Authorization: Negotiate" header. True
    // when the client is proved in this one round (Kerberos needs no more);
    // false for a token that is malformed, not for this service, made with a
    // key the keytab does not hold, or that needs another round.
    bool Accept(std::string_view token, NegotiateOutcome& outcome) const;
    // Whether the keytab can be read and holds keys; false with the reason.
    bool Usable(std::string& reason) const;

private:
    std::string keytab_;
};

// The account name of a user principal: DOMAIN\name, the domain from
// realmDomains (realm to domain, realms compared without case) or else the
// realm's first label ("PLANT.TEST" gives "PLANT"). Empty for a principal that
// is no user's (it has an instance, "HTTP/host@R") or has no realm.
std::string PrincipalAccount(std::string_view principal,
                             const std::map<std::string, std::string>& realmDomains);

} // namespace zyr::server
