// Which account may make which request: the one place where the server
// decides it.
#include "server/service/ChangeRight.h"
#include "server/service/SecurityService.h"
#include "server/service/ServerLog.h"

namespace zyr::server {

namespace {

// A caller's text fit for one log line.
std::string Printable(std::string_view text)
{
    std::string out(text.substr(0, 256));
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    return out;
}

// A group or object that is not the console's own matters to the lockout
// guard only when it is; found cheaply, so that the lists of a large database
// are read only for the changes that may close the console.
bool MayTouchConsole(SecurityStore& store, std::string_view object, const FormFields& query)
{
    const std::string dn(query.Get("DN"));
    if (EqualsNoCase(object, "SecObj")) {
        ObjectRecord record;
        return !store.FindObject(dn, record) || EqualsNoCase(record.name, kConsoleObject);
    }
    if (EqualsNoCase(object, "SecGroup")) {
        GroupRecord record;
        return !store.FindGroup(dn, record) || EqualsNoCase(record.name, kConsoleGroup);
    }
    return true;
}

Outcome Refuse(std::string_view account, const std::string& why, const std::string& logged)
{
    LogWarning("authorization: " + Printable(account) + " refused: " + logged);
    return Outcome::Refuse("Error: " + why);
}

} // namespace

Outcome SecurityService::Admit(std::string_view account, Access access, FormFields& query, FormFields& body)
{
    // Copies: setting the User field below may move the fields' texts.
    const std::string object(query.Get("Object"));
    const std::string operation(query.Get("Operation"));
    const bool guarded = access == Access::Change && MayCloseConsole(object, operation) &&
                         MayTouchConsole(store_, object, query);
    if (account.empty()) {
        // Without authentication only the lockout guard applies.
        if (!guarded) {
            return Outcome::Done();
        }
        std::vector<ApplicationRecord> applications;
        std::vector<RoleRecord> roles;
        if (!store_.ListApplications(applications) || !store_.ListRoles(roles)) {
            return Outcome::Refuse("Error: the security database cannot be read");
        }
        return KeepsConsoleOpen(object, operation, query, body, std::move(applications), std::move(roles))
                   ? Outcome::Done()
                   : Outcome::Refuse(std::string(kLockoutRefusal));
    }
    if (access == Access::Read) {
        // A read writes no record; its User field, where it has one, narrows
        // the audit trail to another account.
        return Outcome::Done();
    }
    for (const FormFields* fields : {&query, &body}) {
        std::optional<std::string_view> named = fields->Find("User");
        if (named && !SameAccount(*named, account)) {
            return Refuse(account, std::string(account) + " may not act as another account",
                          "the request names " + Printable(*named));
        }
    }
    query.Set("User", account);
    bool change = access == Access::Change;
    if (access == Access::LogAdd || access == Access::AuditSend) {
        body.Set("User", account);
        change = access == Access::AuditSend &&
                 body.Get("Message").substr(0, kActivationEvent.size()) == kActivationEvent;
    }
    if (!change) {
        return Outcome::Done();
    }
    std::vector<ApplicationRecord> applications;
    std::vector<RoleRecord> roles;
    if (!store_.ListApplications(applications) || !store_.ListRoles(roles)) {
        return Refuse(account, "the rights of " + std::string(account) + " cannot be read",
                      "the database cannot be read");
    }
    if (!MayOpenConsole(account, applications, roles)) {
        return Refuse(account, std::string(account) + " may not change the security database",
                      "may not change the security database");
    }
    if (guarded &&
        !KeepsConsoleOpen(object, operation, query, body, std::move(applications), std::move(roles))) {
        LogWarning("authorization: " + Printable(account) + " refused: the change would lock the console");
        return Outcome::Refuse(std::string(kLockoutRefusal));
    }
    return Outcome::Done();
}

} // namespace zyr::server
