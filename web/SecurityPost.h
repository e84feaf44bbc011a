// The POST carrier: one fresh HTTP session per form post, one redirect
// followed by our own rules, and a result text instead of a failure.
#pragma once

#include <string>

// Posts body (form-encoded, sent with its terminating zero byte) to url and
// answers:
//  - the reply body when the server answered below 400 without a "ZYR Error:"
//    header;
//  - "800" when it signalled an application error in its headers;
//  - the status in decimal ("404", "500") for a status of 400 or above;
//  - "800 " and the transport's message when the request could not be
//    carried (unresolvable host, refused connection, broken reply);
//  - an empty text for a URL that is not http:// or https://, or a redirect
//    that cannot be followed (no location, not plain http, not 200).
// user and password, when given, are sent as the HTTP credentials instead of
// the signed-in account's (see ServerConnection.h).
std::string PostSecurityRequest(const std::string& url, const std::string& body, const char* user = nullptr,
                                const char* password = nullptr);
