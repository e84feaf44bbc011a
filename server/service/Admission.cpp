// Which account may make which request: the one place where the server
// decides it.
#include "server/service/ChangeRight.h"
#include "server/service/FieldChecks.h"
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

// A change that may close the console is judged on the full lists; the cheap
// tests here pass over the records that cannot touch it: a group or object
// that is not the console's own, a role that its entries do not name, an
// application that is not (and is not renamed to) the console's.
bool MayTouchConsole(SecurityStore& store, const ConsoleRights& rights, std::string_view object,
                     const FormFields& query)
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
    if (EqualsNoCase(object, "Role")) {
        return rights.NamesRole(dn);
    }
    return dn == rights.applicationDn || EqualsNoCase(query.Get("CN"), kConsoleApplication);
}

Outcome Refuse(std::string_view account, const std::string& why, const std::string& logged)
{
    LogWarning("authorization: " + Printable(account) + " refused: " + logged);
    return Outcome::Refuse("Error: " + why);
}

} // namespace

// Only the console's own application decides who may change the database
// and whether a change locks the console: a plant's other applications, with
// their hundred thousand objects, are not read for it.
bool SecurityService::ReadConsoleApplication(std::vector<ApplicationRecord>& out)
{
    return checks::Read(store_.ListApplicationNamed(std::string(kConsoleApplication), out),
                        "the applications");
}

std::shared_ptr<const ConsoleRights> SecurityService::CurrentRights()
{
    // The generation is read before the lists: a change that lands while
    // they are read moves it on, and the next request reads them again.
    const uint64_t generation = changesGeneration_.load() + store_.SharedGeneration();
    {
        std::lock_guard lock(rightsMutex_);
        if (rights_ && rightsGeneration_ == generation) {
            return rights_;
        }
    }
    std::vector<ApplicationRecord> applications;
    std::vector<RoleRecord> roles;
    if (!ReadConsoleApplication(applications) || !ListRoles(roles)) {
        return nullptr;
    }
    auto rights = std::make_shared<const ConsoleRights>(ConsoleRights::Of(applications, roles));
    std::lock_guard lock(rightsMutex_);
    rights_ = rights;
    rightsGeneration_ = generation;
    return rights;
}

Outcome SecurityService::Admit(std::string_view account, Access access, FormFields& query, FormFields& body)
{
    // Copies: setting the User field below may move the fields' texts.
    const std::string object(query.Get("Object"));
    const std::string operation(query.Get("Operation"));
    const bool mayClose = access == Access::Change && MayCloseConsole(object, operation);
    if (!account.empty()) {
        if (access == Access::Read && object == "Audit" && operation == "Get") {
            // The audit page writes no record: its User field narrows the
            // trail to an account, any account.
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
    } else if (!mayClose) {
        return Outcome::Done(); // without authentication only the lockout guard applies
    }
    const std::shared_ptr<const ConsoleRights> rights = CurrentRights();
    if (!rights) {
        return account.empty() ? Outcome::Refuse("Error: the security database cannot be read")
                               : Refuse(account, "the rights of " + std::string(account) + " cannot be read",
                                        "the database cannot be read");
    }
    if (!account.empty() && !rights->MayOpen(account)) {
        return Refuse(account, std::string(account) + " may not change the security database",
                      "may not change the security database");
    }
    if (!mayClose || !MayTouchConsole(store_, *rights, object, query)) {
        return Outcome::Done();
    }
    std::vector<ApplicationRecord> applications;
    std::vector<RoleRecord> roles;
    if (!ReadConsoleApplication(applications) || !ListRoles(roles)) {
        return Outcome::Refuse("Error: the security database cannot be read");
    }
    if (!KeepsConsoleOpen(object, operation, query, body, std::move(applications), std::move(roles))) {
        if (!account.empty()) {
            LogWarning("authorization: " + Printable(account) +
                       " refused: the change would lock the console");
        }
        return Outcome::Refuse(std::string(kLockoutRefusal));
    }
    return Outcome::Done();
}

} // namespace zyr::server
