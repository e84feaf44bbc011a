// How a carrier reaches the security server besides the URL: the local socket
// or, on TCP, the account it presents, and the certificate authorities it
// trusts. Both carriers apply it to every request.
#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>

namespace zyr::web {

// The account sent with HTTP Basic on TCP from now on (the sign-in sets it
// when the operator typed a password). Held in this process only, never
// traced or written anywhere; a part over 255 bytes is refused (false, and
// the account in force is wiped).
bool SetServerCredentials(std::string_view user, std::string_view password);
// Wipes the account; requests go without credentials again. Also run at exit.
void ClearServerCredentials();
bool HaveServerCredentials();

// Sets the socket ("UnixSocket"), the CA file ("CAFile") and, when no socket
// is used, the credentials on a handle before a request to url: user and
// password when given, the stored account otherwise (HTTP Basic), none
// without sendAccount (a redirect to another origin). Without an account the
// operator's Kerberos ticket answers a server that asks for Negotiate, over
// https or on this machine's loopback address.
void ApplyServerConnection(CURL* handle, const std::string& url, const char* user = nullptr,
                           const char* password = nullptr, bool sendAccount = true);
// Takes the credentials off a handle that is kept for later requests.
void ForgetServerCredentials(CURL* handle);

// localhost, 127.x.x.x or ::1 (with or without brackets).
bool IsLoopbackHost(std::string_view host);

// Whether the carriers connect through a local socket (the reachability
// probe has no host to ask then).
bool UsesUnixSocket();

} // namespace zyr::web
