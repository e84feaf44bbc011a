// The request page: reads the target and body of one HTTP request, hands the
// request to the service, and renders its reply. Knows nothing of sockets.
#pragma once

#include "server/http/FaultPlan.h"
#include "server/service/AuditGate.h"
#include "server/service/SecurityService.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zyr::server {

inline constexpr std::string_view kRequestPath = "/zyr/security";
inline constexpr std::string_view kServerVersion = "2.3";

struct HttpReply {
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    int delayMs = 0;   // answer only after this wait
    bool drop = false; // close the connection without answering
};

class Router {
public:
    Router(SecurityService& service, AuditGate& gate, bool testControls);

    HttpReply Handle(std::string_view method, std::string_view target, std::string_view body);

private:
    HttpReply Serve(std::string_view object, std::string_view operation, const FormFields& query,
                    std::string_view body);
    HttpReply TestControl(std::string_view operation, std::string_view body);

    // The application list reply, kept while the applications do not change.
    std::string ApplicationsReply(bool& ok);

    SecurityService& service_;
    AuditGate& gate_;
    std::mutex cacheMutex_;
    uint64_t cachedGeneration_ = 0;
    std::shared_ptr<const std::string> cachedApplications_;
    FaultPlan faults_;
    bool testControls_;
};

} // namespace zyr::server
