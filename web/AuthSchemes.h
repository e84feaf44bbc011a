// The ways of HTTP authentication a server offers, as the set-up check shows
// them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyr::web {

// The schemes of the WWW-Authenticate fields of a raw header block
// ("Negotiate", "Basic"), each once, in their order.
std::vector<std::string> ChallengeSchemes(std::string_view headers);

// The schemes the server at url asks for when a request comes without
// credentials (through the configured socket and CA file); empty when it
// asks for none or does not answer.
std::vector<std::string> OfferedAuthSchemes(const std::string& url);

} // namespace zyr::web
