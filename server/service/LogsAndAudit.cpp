// The security service's log and audit trail: pages of the log and their
// deletion, log entries and events as they arrive, and filtered pages of the
// audit trail.
#include "server/service/SecurityService.h"

#include "cache/TextCipher.h"
#include "server/service/ChangeRight.h"
#include "server/service/ExportFile.h"
#include "server/service/FieldChecks.h"
#include "server/service/LogTime.h"
#include "server/service/ServerLog.h"
#include "server/service/XmlText.h"
#include "server/storage/PlainLists.h"

#include <charconv>
#include <set>

namespace zyr::server {

using namespace checks;

// ---- log ----

namespace {

using End = std::pair<const char*, std::string*>;

// Reads the ends of a range from their fields with parse; an empty field
// leaves its end open. Empty when the ends are sound, else the reason that
// refusal(key, text) gives.
template <class Parse, class Refusal>
std::string ReadEnds(const FormFields& q, End from, End to, Parse&& parse, Refusal&& refusal)
{
    for (auto [key, target] : {from, to}) {
        std::string_view text = q.Get(key);
        if (text.empty()) {
            continue;
        }
        auto value = parse(text);
        if (!value) {
            return refusal(std::string(key), std::string(text));
        }
        *target = *value;
    }
    return {};
}

// The range of a log request: both ends given as dates, the end exclusive.
std::string ReadRange(const FormFields& q, TimeRange& range)
{
    return ReadEnds(
        q, {"FromDate", &range.from}, {"ToDate", &range.to},
        [](std::string_view text) { return ParseConsoleDate(text); },
        [](const std::string&, const std::string& text) {
            return "Error: the date " + text + " is not month/day/year";
        });
}

// The page a list request asks for ("DisplaySet", 0 when absent); false
// when it is not a page number.
bool ReadDisplaySet(const FormFields& q, int64_t& page)
{
    page = 0;
    std::string_view text = q.Get("DisplaySet");
    return text.empty() || (ParseInt64(text, page) && page >= 0 && page <= INT64_MAX / kPageSize);
}

} // namespace

Outcome SecurityService::GetLogs(const FormFields& q, std::vector<LogEntry>& out)
{
    TimeRange range;
    std::string why = ReadRange(q, range);
    if (!why.empty()) {
        return Outcome::Refuse(why);
    }
    int64_t page = 0;
    if (!ReadDisplaySet(q, page)) {
        return Outcome::Refuse("Error: the display set is not a page number");
    }
    if (!Read(store_.GetLogPage(range, page, out), "the log")) {
        return Outcome::Refuse("Error: the log cannot be read");
    }
    return Outcome::Done();
}

Outcome SecurityService::DeleteLogs(const FormFields& q)
{
    int64_t removed = 0;
    if (q.Has("Date")) {
        auto second = ParseConsoleDateTime(q.Get("Date"));
        if (!second) {
            return Outcome::Refuse("Error: the date is not month/day/year hour:minute:second");
        }
        return Change({}, q, Reach::Records, "log entry", [&] {
            return store_.DeleteLogsAt(*second, Audit(q, "Log", "Del", *second, {}), removed);
        });
    }
    TimeRange range;
    std::string why = ReadRange(q, range);
    std::string identity =
        range.from.empty() && range.to.empty() ? std::string("all") : range.from + " to " + range.to;
    return Change(why, q, Reach::Records, "log entry",
                  [&] { return store_.DeleteLogs(range, Audit(q, "Log", "Del", identity, {}), removed); });
}

Outcome SecurityService::AddLog(const FormFields& f)
{
    LogEntry e;
    e.time = Now();
    std::string_view user = f.Get("User");
    std::string_view action = f.Get("Action");
    std::string_view status = f.Get("Status");
    std::string_view computer = f.Get("Computer");
    if (user.empty() && action.empty() && status.empty() && computer.empty()) {
        return Outcome::Refuse("Error: the log entry is empty");
    }
    if (user.size() > kMaxText || computer.size() > kMaxText || action.size() > kMaxLogField ||
        status.size() > kMaxLogField) {
        return Outcome::Refuse(
            "Error: a log field is too long (action and status hold 15 bytes, user and computer 255)");
    }
    if (HasControl(user, false) || HasControl(action, false) || HasControl(status, false) ||
        HasControl(computer, false)) {
        return Outcome::Refuse("Error: a log field holds control characters");
    }
    e.user = Kept("log entry's user", user);
    e.action = Kept("log entry's action", action);
    e.status = Kept("log entry's status", status);
    e.computer = Kept("log entry's computer", computer);
    return Finish(store_.AddLog(e), "log entry");
}

// ---- audit events ----

Outcome SecurityService::SendAuditEvent(const FormFields& f)
{
    std::string_view message = f.Get("Message");
    if (message.empty()) {
        return Outcome::Refuse("Error: the event has no message");
    }
    if (HasControl(message, true)) {
        return Outcome::Refuse("Error: the event message holds control characters");
    }
    if (message.size() > kMaxMessage) {
        return Outcome::Refuse("Error: the event message is longer than 4096 bytes");
    }
    for (std::string_view key : {"Application", "User", "Computer"}) {
        if (f.Get(key).size() > kMaxText) {
            return Outcome::Refuse("Error: the event's " + std::string(key) + " is longer than 255 bytes");
        }
    }
    if (!gate_.CanSend(f.Get("Computer"))) {
        return Outcome::NoAudit();
    }
    AuditRecord audit = Audit(f, "Audit", "Send", {}, Kept("event's application", f.Get("Application")));
    audit.user = Kept("event's user", f.Get("User"));
    audit.computer = Kept("event's computer", f.Get("Computer"));
    audit.newValue = Kept("event's message", message);
    if (std::string_view(message).substr(0, kActivationEvent.size()) == kActivationEvent) {
        StoreResult result = store_.SetComplianceOn(audit);
        if (result == StoreResult::Ok) {
            gate_.SetComplianceOn(true);
        }
        return Finish(result, "event");
    }
    return Finish(store_.AppendAudit(audit), "event");
}

namespace {

// The filter of an audit page; empty when it is sound, else the reason.
std::string ReadAuditFilter(const FormFields& q, AuditFilter& filter)
{
    std::string why = ReadEnds(
        q, {"FromTime", &filter.from}, {"ToTime", &filter.to},
        [](std::string_view text) { return ParseIsoTime(text); },
        [](const std::string& key, const std::string&) {
            return "Error: the " + key + " is not a time (YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)";
        });
    if (!why.empty()) {
        return why;
    }
    if (!filter.from.empty() && !filter.to.empty() && filter.to < filter.from) {
        return "Error: the ToTime is before the FromTime";
    }
    // The first Object field names the request (Audit); the kind of record
    // is a second one.
    std::string_view kind;
    int objects = 0;
    for (const auto& [key, value] : q.Fields()) {
        if (EqualsNoCase(key, "Object") && ++objects == 2) {
            kind = value;
            break;
        }
    }
    for (auto [key, target] : {std::pair{"User", &filter.user}, std::pair{"Object", &filter.object},
                               std::pair{"Name", &filter.name}}) {
        std::string_view text = std::string_view(key) == "Object" ? kind : q.Get(key);
        if (text.size() > kMaxText) {
            return "Error: the " + std::string(key) + " filter is longer than 255 bytes";
        }
        if (!IsXmlText(text) || HasControl(text, false)) {
            return "Error: the " + std::string(key) +
                   " filter holds bytes that are not UTF-8 text or control characters";
        }
        *target = text;
    }
    return {};
}

} // namespace

Outcome SecurityService::GetAudit(const FormFields& q, std::vector<AuditRecord>& out)
{
    AuditFilter filter;
    if (std::string why = ReadAuditFilter(q, filter); !why.empty()) {
        return Outcome::Refuse(why);
    }
    int64_t page = 0;
    if (!ReadDisplaySet(q, page)) {
        return Outcome::Refuse("Error: the display set is not a page number");
    }
    if (!Read(store_.GetAuditPage(filter, page, out), "the audit trail")) {
        return Outcome::Refuse("Error: the audit trail cannot be read");
    }
    return Outcome::Done();
}

} // namespace zyr::server
