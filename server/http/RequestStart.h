// Checks on the first bytes of a request, made before the HTTP parser sees
// them, so that what can never become a request is refused at once.
#pragma once

#include <string_view>

namespace zyr::server {

// Whether the start of a request can still become an HTTP request line: a
// method token and a space. Anything else (a TLS hello on the plain port,
// binary noise) is refused at once instead of after the read time-out.
bool PlausibleStart(std::string_view data);

// A line break other than CR LF in the header.
bool BareLineBreak(std::string_view head);

} // namespace zyr::server
