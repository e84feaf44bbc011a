#include "server/http/TestControls.h"

namespace zyr::server {

TestControls::TestControls(SecurityService& service, AuditGate& gate) : router_(service), gate_(gate) {}

HttpReply TestControls::Answer(const PageRequest& request)
{
    if (EqualsNoCase(request.object, kTestObject)) {
        return Control(request.operation, request.body);
    }
    FaultAction fault = faults_.Take(request.object, request.operation);
    HttpReply reply;
    if (fault.served) {
        router_.Dispatch(request);
    }
    if (fault.drop) {
        reply.drop = true;
    } else if (fault.redirectCode != 0) {
        reply = TextReply(fault.redirectCode, {});
        reply.headers.emplace_back("Location", fault.location);
    } else if (fault.status != 0) {
        reply = TextReply(fault.status, {});
    } else if (fault.errorReply) {
        reply = TextReply(200, "Error: injected");
    } else if (fault.emptyReply) {
        reply = TextReply(200, {});
    } else {
        reply = router_.Dispatch(request);
    }
    if (!fault.zyrErrorText.empty() && !reply.drop) {
        reply.headers.emplace_back("ZYR Error", HeaderSafe(fault.zyrErrorText));
    }
    reply.delayMs = fault.delayMs;
    return reply;
}

HttpReply TestControls::Control(std::string_view operation, std::string_view body)
{
    if (!EqualsNoCase(operation, "Fault")) {
        return TextReply(404, "Not Found");
    }
    FormFields fields;
    if (!fields.Parse(body)) {
        return TextReply(400, "Bad Request: malformed form body");
    }
    std::string_view kind = fields.Get("Kind");
    int value = fields.Get("Value") == "1" ? 1 : 0;
    if (kind == "TavosSendFailed") {
        gate_.SetSendFailing(value == 1);
        return TextReply(200, "OK");
    }
    if (kind == "AuditNotFunctional") {
        gate_.SetNotFunctional(fields.Get("Computer"), value == 1);
        return TextReply(200, "OK");
    }
    if (kind == "Clear") {
        gate_.Reset();
    }
    std::string reason;
    if (!faults_.Apply(kind, fields, reason)) {
        return TextReply(200, "Error: " + reason);
    }
    return TextReply(200, "OK");
}

std::unique_ptr<RequestHandler> MakeRequestHandler(SecurityService& service, AuditGate& gate,
                                                   bool testControls)
{
    if (testControls) {
        return std::make_unique<TestControls>(service, gate);
    }
    return std::make_unique<Router>(service);
}

} // namespace zyr::server
