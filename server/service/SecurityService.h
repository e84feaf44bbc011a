// The rules of the security server: what a request may change, how its
// encrypted fields are read, what its audit record holds, and when the audit
// path refuses it. Requests arrive as decoded query and body fields; replies
// leave as outcomes and records for the routes to render.
#pragma once

#include "server/service/AuditGate.h"
#include "server/service/FormFields.h"
#include "server/storage/Records.h"
#include "server/storage/SecurityStore.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::server {

struct ConsoleRights;

struct Outcome {
    enum class Kind {
        Ok,
        Refused,     // message says why, without internals
        AuditFailed, // the change needed the audit path and it failed
    };
    Kind kind = Kind::Ok;
    std::string message;

    static Outcome Done() { return {}; }
    static Outcome Refuse(std::string why) { return {Kind::Refused, std::move(why)}; }
    static Outcome NoAudit() { return {Kind::AuditFailed, {}}; }
    bool ok() const { return kind == Kind::Ok; }
};

// The event that switches compliance mode on for good.
inline constexpr std::string_view kActivationEvent = "The compliance-enabling features have been activated";

// What a request needs of its caller's account.
enum class Access {
    Read,      // any authenticated account
    Change,    // an account that may open the console
    LogAdd,    // any, writing its own name
    AuditSend, // any; the compliance activation event as a change
};

class SecurityService {
public:
    using Clock = std::function<std::time_t()>;

    SecurityService(SecurityStore& store, AuditGate& gate, Clock clock = {});

    // Reads the compliance flag from the store.
    bool Start(std::string& reason);

    // Whether the authenticated account may make a request of this kind;
    // refused (and logged) when not. A User field in the query or body must
    // name the account; the account's own spelling then takes its place, and
    // a request without one gets it, so that the records name who asked.
    Outcome Admit(std::string_view account, Access access, FormFields& query, FormFields& body);

    bool ListApplications(std::vector<ApplicationRecord>& out);
    // Moves on after every change to applications, groups or objects (made
    // or refused), so that a reply built from the list can be kept until then.
    // A database shared with other servers adds its own count of changes.
    uint64_t ApplicationsGeneration() const
    {
        return applicationsGeneration_.load() + store_.SharedGeneration();
    }
    Outcome AddApplication(const FormFields& query);
    Outcome UpdateApplication(const FormFields& query, const FormFields& body);
    Outcome DeleteApplication(const FormFields& query);
    Outcome ImportApplication(const FormFields& query, std::string_view fileText);

    Outcome AddGroup(const FormFields& query);
    Outcome UpdateGroup(const FormFields& query, const FormFields& body);
    Outcome DeleteGroup(const FormFields& query);

    Outcome AddObject(const FormFields& query);
    Outcome UpdateObject(const FormFields& query, const FormFields& body);
    Outcome DeleteObject(const FormFields& query);

    bool ListRoles(std::vector<RoleRecord>& out);
    Outcome AddRole(const FormFields& query);
    Outcome UpdateRole(const FormFields& query, const FormFields& body);
    Outcome DeleteRole(const FormFields& query);

    Outcome GetLogs(const FormFields& query, std::vector<LogEntry>& out);
    Outcome DeleteLogs(const FormFields& query);
    Outcome AddLog(const FormFields& fields);

    Outcome SendAuditEvent(const FormFields& fields);
    Outcome GetAudit(const FormFields& query, std::vector<AuditRecord>& out);

    // On a shared database another server may have switched the flag on.
    bool ComplianceOn() const;
    bool AuditNotFunctional(std::string_view computer) const { return gate_.NotFunctional(computer); }

    std::string Now() const;

private:
    AuditRecord Audit(const FormFields& query, std::string object, std::string operation,
                      std::string identity, std::string name) const;
    // Refused when compliance mode is on and the audit path fails for the
    // request's computer.
    bool AuditPathOpen(const FormFields& query) const;
    Outcome Finish(StoreResult result, std::string_view what);
    // What a change may make out of date besides its own records.
    enum class Reach { Records, Applications };
    // The tail of every change: refused with `why` when it is not empty, then
    // refused while the audit path is closed, else written and finished. A
    // change that reaches the applications moves their generation on.
    Outcome Change(std::string_view why, const FormFields& query, Reach reach, std::string_view what,
                   const std::function<StoreResult()>& write);
    // Deletes the record of the query's identity (DN), named in the audit
    // record by the query's `nameKey`; every delete may change the application list.
    Outcome Delete(const FormFields& query, std::string_view what, const char* object, const char* nameKey,
                   StoreResult (SecurityStore::*remove)(const std::string&, const AuditRecord&));
    // The tail of an update: its audit record carries the body's old and new values.
    Outcome ChangeWithValues(std::string why, const FormFields& query, const FormFields& body,
                             AuditRecord audit, Reach reach, std::string_view what,
                             const std::function<StoreResult(const AuditRecord&)>& write);
    // The decrypted "OldValue" and "NewValue" of an update body.
    bool ReadAuditValues(const FormFields& body, AuditRecord& audit, std::string& why) const;

    // The console's rights as the records stand (see ConsoleRights), kept
    // until the next change of any record; null when they cannot be read.
    std::shared_ptr<const ConsoleRights> CurrentRights();
    // The console's own application alone, with its groups and objects.
    bool ReadConsoleApplication(std::vector<ApplicationRecord>& out);

    SecurityStore& store_;
    AuditGate& gate_;
    Clock clock_;
    std::atomic<uint64_t> applicationsGeneration_{0};
    std::atomic<uint64_t> changesGeneration_{0}; // every change, roles included
    std::mutex rightsMutex_;
    std::shared_ptr<const ConsoleRights> rights_;
    uint64_t rightsGeneration_ = 0;
};

} // namespace zyr::server
