#include "server/core/Router.h"

#include "server/core/ListReplies.h"

namespace zyr::server {

namespace {

HttpReply Text(int status, std::string body)
{
    HttpReply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

HttpReply Xml(std::string body)
{
    HttpReply reply;
    reply.contentType = "text/xml";
    reply.body = std::move(body);
    return reply;
}

HttpReply FromOutcome(const Outcome& outcome)
{
    switch (outcome.kind) {
    case Outcome::Kind::Ok:
        return Text(200, "OK");
    case Outcome::Kind::AuditFailed:
        return Text(200, "TAVOS_Send_Failed");
    case Outcome::Kind::Refused:
        break;
    }
    return Text(200, outcome.message);
}

bool PathMatches(std::string_view path)
{
    if (path.size() == kRequestPath.size() + 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return EqualsNoCase(path, kRequestPath);
}

// One header line: no line breaks, no control characters.
std::string HeaderSafe(std::string_view text)
{
    std::string out;
    for (char c : text) {
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
    }
    return out;
}

} // namespace

Router::Router(SecurityService& service, AuditGate& gate, bool testControls)
    : service_(service), gate_(gate), testControls_(testControls)
{
}

HttpReply Router::Handle(std::string_view method, std::string_view target, std::string_view body)
{
    if (method != "GET" && method != "POST") {
        HttpReply reply = Text(405, "Method Not Allowed");
        reply.headers.emplace_back("Allow", "GET, POST");
        return reply;
    }
    size_t mark = target.find('?');
    std::string_view path = target.substr(0, mark);
    std::string_view queryText =
        mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
    if (!PathMatches(path)) {
        return Text(404, "Not Found");
    }
    FormFields query;
    if (!query.Parse(queryText)) {
        return Text(400, "Bad Request: malformed query");
    }
    std::string_view object = query.Get("Object");
    std::string_view operation = query.Get("Operation");
    body = TrimTrailingZeros(body);

    if (EqualsNoCase(object, "Test")) {
        return testControls_ ? TestControl(operation, body) : Text(404, "Not Found");
    }
    FaultAction fault;
    if (testControls_) {
        fault = faults_.Take(object, operation);
    }
    HttpReply reply;
    if (fault.drop) {
        reply.drop = true;
    } else if (fault.redirectCode != 0) {
        reply = Text(fault.redirectCode, {});
        reply.headers.emplace_back("Location", fault.location);
    } else if (fault.status != 0) {
        reply = Text(fault.status, {});
    } else if (fault.errorReply) {
        reply = Text(200, "Error: injected");
    } else if (fault.emptyReply) {
        reply = Text(200, {});
    } else {
        reply = Serve(object, operation, query, body);
    }
    if (!fault.zyrErrorText.empty() && !reply.drop) {
        reply.headers.emplace_back("ZYR Error", HeaderSafe(fault.zyrErrorText));
    }
    reply.delayMs = fault.delayMs;
    return reply;
}

HttpReply Router::Serve(std::string_view object, std::string_view operation, const FormFields& query,
                        std::string_view body)
{
    auto is = [&](std::string_view o, std::string_view p) {
        return EqualsNoCase(object, o) && EqualsNoCase(operation, p);
    };
    auto form = [&](FormFields& fields) { return fields.Parse(body); };

    if (object.empty()) {
        if (EqualsNoCase(operation, "GetServerVersion")) {
            return Text(200, std::string(kServerVersion));
        }
        if (operation.empty() && query.Has("Computer")) {
            return Text(200,
                        service_.AuditNotFunctional(query.Get("Computer")) ? "TAVOS_Not_Functional" : "OK");
        }
        if (operation.empty() && query.size() == 0) {
            return Text(200, "ZYR Security Server");
        }
        return Text(400, "Bad Request: unknown request");
    }

    if (is("Appl", "GetAll")) {
        bool ok = false;
        std::string reply = ApplicationsReply(ok);
        return ok ? Xml(std::move(reply)) : Text(200, "Error: the applications cannot be read");
    }
    if (is("Role", "Get")) {
        std::vector<RoleRecord> list;
        if (!service_.ListRoles(list)) {
            return Text(200, "Error: the roles cannot be read");
        }
        return Xml(RenderRoles(list));
    }
    if (is("Log", "Get")) {
        std::vector<LogEntry> list;
        Outcome outcome = service_.GetLogs(query, list);
        return outcome.ok() ? Xml(RenderLogs(list)) : FromOutcome(outcome);
    }
    if (is("Audit", "Get")) {
        std::vector<AuditRecord> list;
        Outcome outcome = service_.GetAudit(query, list);
        return outcome.ok() ? Xml(RenderAudit(list)) : FromOutcome(outcome);
    }
    if (is("KVTAPI", "Get21CFR11Flag")) {
        return Text(200, service_.ComplianceOn() ? "true" : "false");
    }
    if (is("KVTAPI", "ApplImp")) {
        Outcome outcome = service_.ImportApplication(query, body);
        HttpReply reply = FromOutcome(outcome);
        if (outcome.kind == Outcome::Kind::Refused) {
            std::string_view reason = outcome.message;
            if (reason.substr(0, 7) == "Error: ") {
                reason.remove_prefix(7);
            }
            reply.headers.emplace_back("ZYR Error", HeaderSafe(reason));
        }
        return reply;
    }

    if (is("Appl", "Add")) {
        return FromOutcome(service_.AddApplication(query));
    }
    if (is("Appl", "Delete")) {
        return FromOutcome(service_.DeleteApplication(query));
    }
    if (is("SecGroup", "Add")) {
        return FromOutcome(service_.AddGroup(query));
    }
    if (is("SecGroup", "Delete")) {
        return FromOutcome(service_.DeleteGroup(query));
    }
    if (is("SecObj", "Add")) {
        return FromOutcome(service_.AddObject(query));
    }
    if (is("SecObj", "Delete")) {
        return FromOutcome(service_.DeleteObject(query));
    }
    if (is("Role", "Add")) {
        return FromOutcome(service_.AddRole(query));
    }
    if (is("Role", "Delete")) {
        return FromOutcome(service_.DeleteRole(query));
    }
    if (is("Log", "Del")) {
        return FromOutcome(service_.DeleteLogs(query));
    }

    // The requests with a form body.
    FormFields fields;
    bool updates = is("Appl", "Update") || is("SecGroup", "Update") || is("SecObj", "Update") ||
                   is("Role", "Update") || is("Log", "Add") || is("Audit", "Send");
    if (!updates) {
        return Text(400, "Bad Request: unknown request");
    }
    if (!form(fields)) {
        return Text(400, "Bad Request: malformed form body");
    }
    if (is("Appl", "Update")) {
        return FromOutcome(service_.UpdateApplication(query, fields));
    }
    if (is("SecGroup", "Update")) {
        return FromOutcome(service_.UpdateGroup(query, fields));
    }
    if (is("SecObj", "Update")) {
        return FromOutcome(service_.UpdateObject(query, fields));
    }
    if (is("Role", "Update")) {
        return FromOutcome(service_.UpdateRole(query, fields));
    }
    if (is("Log", "Add")) {
        return FromOutcome(service_.AddLog(fields));
    }
    return FromOutcome(service_.SendAuditEvent(fields));
}

std::string Router::ApplicationsReply(bool& ok)
{
    // The generation is read before the list: a change that lands while the
    // list is read moves it on, and the next request builds the reply again.
    uint64_t generation = service_.ApplicationsGeneration();
    {
        std::lock_guard lock(cacheMutex_);
        if (cachedApplications_ && cachedGeneration_ == generation) {
            ok = true;
            return *cachedApplications_;
        }
    }
    std::vector<ApplicationRecord> list;
    ok = service_.ListApplications(list);
    if (!ok) {
        return {};
    }
    auto reply = std::make_shared<const std::string>(RenderApplications(list));
    std::lock_guard lock(cacheMutex_);
    cachedGeneration_ = generation;
    cachedApplications_ = reply;
    return *reply;
}

HttpReply Router::TestControl(std::string_view operation, std::string_view body)
{
    if (!EqualsNoCase(operation, "Fault")) {
        return Text(404, "Not Found");
    }
    FormFields fields;
    if (!fields.Parse(body)) {
        return Text(400, "Bad Request: malformed form body");
    }
    std::string_view kind = fields.Get("Kind");
    int value = fields.Get("Value") == "1" ? 1 : 0;
    if (kind == "TavosSendFailed") {
        gate_.SetSendFailing(value == 1);
        return Text(200, "OK");
    }
    if (kind == "AuditNotFunctional") {
        gate_.SetNotFunctional(fields.Get("Computer"), value == 1);
        return Text(200, "OK");
    }
    if (kind == "Clear") {
        gate_.Reset();
    }
    std::string reason;
    if (!faults_.Apply(kind, fields, reason)) {
        return Text(200, "Error: " + reason);
    }
    return Text(200, "OK");
}

} // namespace zyr::server
