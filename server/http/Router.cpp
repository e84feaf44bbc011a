#include "server/http/Router.h"

#include "server/http/ListReplies.h"

#include <array>

namespace zyr::server {

namespace {

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
        return TextReply(200, "OK");
    case Outcome::Kind::AuditFailed:
        return TextReply(200, "TAVOS_Send_Failed");
    case Outcome::Kind::Refused:
        break;
    }
    return TextReply(200, outcome.message);
}

template <typename Record>
HttpReply ListOrRefusal(const Outcome& outcome, const std::vector<Record>& list,
                        std::string (*render)(const std::vector<Record>&))
{
    return outcome.ok() ? Xml(render(list)) : FromOutcome(outcome);
}

} // namespace

// One operation of the request page. A route with a form body is refused
// before its handler runs when the body does not parse.
struct Router::Route {
    std::string_view object;
    std::string_view operation;
    bool formBody;
    HttpReply (*handle)(Router& router, const PageRequest& request, const FormFields& form);
};

const Router::Route* Router::FindRoute(std::string_view object, std::string_view operation)
{
    using R = Router&;
    using Q = const PageRequest&;
    using F = const FormFields&;
    static const std::array<Route, 21> kRoutes{{
        {"Appl", "GetAll", false,
         [](R r, Q, F) {
             bool ok = false;
             std::string reply = r.ApplicationsReply(ok);
             return ok ? Xml(std::move(reply)) : TextReply(200, "Error: the applications cannot be read");
         }},
        {"Appl", "Add", false, [](R r, Q q, F) { return FromOutcome(r.service_.AddApplication(q.query)); }},
        {"Appl", "Update", true,
         [](R r, Q q, F f) { return FromOutcome(r.service_.UpdateApplication(q.query, f)); }},
        {"Appl", "Delete", false,
         [](R r, Q q, F) { return FromOutcome(r.service_.DeleteApplication(q.query)); }},
        {"KVTAPI", "ApplImp", false,
         [](R r, Q q, F) {
             Outcome outcome = r.service_.ImportApplication(q.query, q.body);
             HttpReply reply = FromOutcome(outcome);
             if (outcome.kind == Outcome::Kind::Refused) {
                 std::string_view reason = outcome.message;
                 if (reason.substr(0, 7) == "Error: ") {
                     reason.remove_prefix(7);
                 }
                 reply.headers.emplace_back("ZYR Error", HeaderSafe(reason));
             }
             return reply;
         }},
        {"KVTAPI", "Get21CFR11Flag", false,
         [](R r, Q, F) { return TextReply(200, r.service_.ComplianceOn() ? "true" : "false"); }},
        {"SecGroup", "Add", false, [](R r, Q q, F) { return FromOutcome(r.service_.AddGroup(q.query)); }},
        {"SecGroup", "Update", true,
         [](R r, Q q, F f) { return FromOutcome(r.service_.UpdateGroup(q.query, f)); }},
        {"SecGroup", "Delete", false,
         [](R r, Q q, F) { return FromOutcome(r.service_.DeleteGroup(q.query)); }},
        {"SecObj", "Add", false, [](R r, Q q, F) { return FromOutcome(r.service_.AddObject(q.query)); }},
        {"SecObj", "Update", true,
         [](R r, Q q, F f) { return FromOutcome(r.service_.UpdateObject(q.query, f)); }},
        {"SecObj", "Delete", false,
         [](R r, Q q, F) { return FromOutcome(r.service_.DeleteObject(q.query)); }},
        {"Role", "Get", false,
         [](R r, Q, F) {
             std::vector<RoleRecord> list;
             return r.service_.ListRoles(list) ? Xml(RenderRoles(list))
                                               : TextReply(200, "Error: the roles cannot be read");
         }},
        {"Role", "Add", false, [](R r, Q q, F) { return FromOutcome(r.service_.AddRole(q.query)); }},
        {"Role", "Update", true,
         [](R r, Q q, F f) { return FromOutcome(r.service_.UpdateRole(q.query, f)); }},
        {"Role", "Delete", false, [](R r, Q q, F) { return FromOutcome(r.service_.DeleteRole(q.query)); }},
        {"Log", "Get", false,
         [](R r, Q q, F) {
             std::vector<LogEntry> list;
             return ListOrRefusal(r.service_.GetLogs(q.query, list), list, RenderLogs);
         }},
        {"Log", "Add", true, [](R r, Q, F f) { return FromOutcome(r.service_.AddLog(f)); }},
        {"Log", "Del", false, [](R r, Q q, F) { return FromOutcome(r.service_.DeleteLogs(q.query)); }},
        {"Audit", "Get", false,
         [](R r, Q q, F) {
             std::vector<AuditRecord> list;
             return ListOrRefusal(r.service_.GetAudit(q.query, list), list, RenderAudit);
         }},
        {"Audit", "Send", true, [](R r, Q, F f) { return FromOutcome(r.service_.SendAuditEvent(f)); }},
    }};
    for (const Route& route : kRoutes) {
        if (EqualsNoCase(object, route.object) && EqualsNoCase(operation, route.operation)) {
            return &route;
        }
    }
    return nullptr;
}

// What a route needs of its caller: the reads need an account, the changes
// one that may open the console.
Access Router::AccessOf(const Route& route)
{
    std::string_view op = route.operation;
    if (EqualsNoCase(route.object, "Log") && EqualsNoCase(op, "Add")) {
        return Access::LogAdd;
    }
    if (EqualsNoCase(route.object, "Audit") && EqualsNoCase(op, "Send")) {
        return Access::AuditSend;
    }
    bool read = EqualsNoCase(op, "Get") || EqualsNoCase(op, "GetAll") || EqualsNoCase(op, "Get21CFR11Flag");
    return read ? Access::Read : Access::Change;
}

Router::Router(SecurityService& service) : service_(service) {}

HttpReply Router::Dispatch(const PageRequest& request)
{
    if (request.object.empty()) {
        return Root(request);
    }
    if (EqualsNoCase(request.object, kTestObject)) {
        return TextReply(404, "Not Found"); // known only to a server with the test controls
    }
    const Route* route = FindRoute(request.object, request.operation);
    if (!route) {
        return TextReply(400, "Bad Request: unknown request");
    }
    FormFields form;
    if (route->formBody && !form.Parse(request.body)) {
        return TextReply(400, "Bad Request: malformed form body");
    }
    PageRequest bound = request;
    Outcome admitted = service_.Admit(request.account, AccessOf(*route), bound.query, form);
    if (!admitted.ok()) {
        return FromOutcome(admitted);
    }
    return route->handle(*this, bound, form);
}

HttpReply Router::Root(const PageRequest& request)
{
    const FormFields& query = request.query;
    if (EqualsNoCase(request.operation, "GetServerVersion")) {
        return TextReply(200, std::string(kServerVersion));
    }
    if (request.operation.empty() && query.Has("Computer")) {
        return TextReply(200,
                         service_.AuditNotFunctional(query.Get("Computer")) ? "TAVOS_Not_Functional" : "OK");
    }
    if (request.operation.empty() && query.size() == 0) {
        return TextReply(200, "ZYR Security Server");
    }
    return TextReply(400, "Bad Request: unknown request");
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

} // namespace zyr::server
