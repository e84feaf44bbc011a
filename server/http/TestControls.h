// The test controls of a server started with --enable-test-controls: the
// requests of Object "Test" switch the audit gate's failures and plan faults
// (FaultPlan) that answer chosen requests in place of the router, or delay
// them. Wraps the router; a server without the controls has the router alone.
#pragma once

#include "server/http/FaultPlan.h"
#include "server/http/RequestHandler.h"
#include "server/http/Router.h"
#include "server/service/AuditGate.h"

#include <memory>

namespace zyr::server {

class TestControls : public RequestHandler {
public:
    TestControls(SecurityService& service, AuditGate& gate);

protected:
    HttpReply Answer(const PageRequest& request) override;

private:
    HttpReply Control(std::string_view operation, std::string_view body);

    Router router_;
    AuditGate& gate_;
    FaultPlan faults_;
};

// The handler of the request page: the router, inside the test controls when
// they are enabled.
std::unique_ptr<RequestHandler> MakeRequestHandler(SecurityService& service, AuditGate& gate,
                                                   bool testControls);

} // namespace zyr::server
