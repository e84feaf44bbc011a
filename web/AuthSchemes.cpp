#include "web/AuthSchemes.h"

#include "web/CurlSupport.h"
#include "web/ServerConnection.h"

#include <algorithm>

namespace zyr::web {

std::vector<std::string> ChallengeSchemes(std::string_view headers)
{
    std::vector<std::string> schemes;
    for (std::string_view field : HeaderValues(headers, "www-authenticate")) {
        // One field may hold several challenges: "Negotiate, Basic realm=...".
        while (!field.empty()) {
            size_t comma = field.find(',');
            std::string_view piece = field.substr(0, comma);
            field.remove_prefix(comma == std::string_view::npos ? field.size() : comma + 1);
            piece.remove_prefix(std::min(piece.find_first_not_of(' '), piece.size()));
            std::string_view scheme = piece.substr(0, piece.find(' '));
            bool token = std::all_of(scheme.begin(), scheme.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
            });
            if (!scheme.empty() && token &&
                std::find(schemes.begin(), schemes.end(), scheme) == schemes.end()) {
                schemes.emplace_back(scheme);
            }
        }
    }
    return schemes;
}

std::vector<std::string> OfferedAuthSchemes(const std::string& url)
{
    CurlEasy handle = NewCurlEasy();
    if (!handle) {
        return {};
    }
    CURL* h = handle.get();
    ReplySink sink;
    ApplyCommonOptions(h);
    ApplyServerConnection(h, url, nullptr, nullptr, false);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    AttachSink(h, sink);
    long status = 0;
    if (curl_easy_perform(h) != CURLE_OK ||
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 401) {
        return {};
    }
    return ChallengeSchemes(sink.headers);
}

} // namespace zyr::web
