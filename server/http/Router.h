// The request page: hands each request to the service operation its Object
// and Operation name, and renders the reply.
#pragma once

#include "server/http/RequestHandler.h"
#include "server/service/SecurityService.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace zyr::server {

inline constexpr std::string_view kServerVersion = "2.3";

class Router : public RequestHandler {
public:
    explicit Router(SecurityService& service);

    // Serves a request already read.
    HttpReply Dispatch(const PageRequest& request);

protected:
    HttpReply Answer(const PageRequest& request) override { return Dispatch(request); }

private:
    struct Route;
    static const Route* FindRoute(std::string_view object, std::string_view operation);
    static Access AccessOf(const Route& route);
    // The requests without an Object: version, audit state, greeting.
    HttpReply Root(const PageRequest& request);
    // The application list reply, kept while the applications do not change.
    std::string ApplicationsReply(bool& ok);

    SecurityService& service_;
    std::mutex cacheMutex_;
    uint64_t cachedGeneration_ = 0;
    std::shared_ptr<const std::string> cachedApplications_;
};

} // namespace zyr::server
