// One HTTP request of the request page as the listener hands it over, and the
// reply it writes back. Knows nothing of sockets.
#pragma once

#include "server/service/FormFields.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zyr::server {

inline constexpr std::string_view kRequestPath = "/zyr/security";
// The Object of the test controls.
inline constexpr std::string_view kTestObject = "Test";

struct HttpReply {
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    int delayMs = 0;   // answer only after this wait
    bool drop = false; // close the connection without answering
};

HttpReply TextReply(int status, std::string body);

// One header line: no line breaks, no control characters.
std::string HeaderSafe(std::string_view text);

// A request for the request page with its query decoded.
struct PageRequest {
    FormFields query;
    std::string_view object;
    std::string_view operation;
    std::string_view body; // without the trailing zero bytes the console sends
    // The authenticated account; empty when the server runs without authentication.
    std::string_view account;
};

// Reads method and target of a request from the account given; false with
// the reply (405, 404, 400) when the request is not one for the request page.
bool ReadPageRequest(std::string_view method, std::string_view target, std::string_view body,
                     std::string_view account, PageRequest& out, HttpReply& refusal);

class RequestHandler {
public:
    virtual ~RequestHandler() = default;
    // Reads the request for the request page and answers it; the refusal
    // when it is not one. account: who sent the request, empty when the
    // server runs without authentication.
    HttpReply Handle(std::string_view method, std::string_view target, std::string_view body,
                     std::string_view account = {});
    // True when serving the request may wait for another (a change waits
    // for its commit): it is then served off the request threads.
    // Every operation but the reads (Get..., the greeting) may.
    virtual bool MayWait(std::string_view target) const;

protected:
    // Answers a request already read.
    virtual HttpReply Answer(const PageRequest& request) = 0;
};

} // namespace zyr::server
