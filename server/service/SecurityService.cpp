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

namespace {

using namespace checks;

// The characters the console refuses in names and descriptions; the server
// refuses them too, so that nothing it stores is unusable in the console.
constexpr std::string_view kReserved = "%#\\:|+*'<>?/\"";

// Application and group identities are also held as parents in 40-byte fields.
constexpr size_t kMaxParentIdentity = 39;
constexpr size_t kMaxIdentity = 255;
constexpr size_t kMaxRoleInAcl = 791;
constexpr size_t kMaxQualifier = 127;

constexpr std::string_view kNotText = " holds bytes that are not UTF-8 text or characters XML does not allow";

// Empty when the text is acceptable as a name or description, else the reason.
std::string CheckText(std::string_view label, std::string_view text, bool required)
{
    if (required && text.empty()) {
        return "Error: the " + std::string(label) + " is missing";
    }
    if (text.size() > kMaxText) {
        return "Error: the " + std::string(label) + " is longer than 255 bytes";
    }
    if (!IsXmlText(text)) {
        return "Error: the " + std::string(label) + std::string(kNotText);
    }
    if (HasControl(text, false)) {
        return "Error: the " + std::string(label) + " holds control characters";
    }
    if (text.find_first_of(kReserved) != std::string_view::npos) {
        return "Error: the " + std::string(label) +
               " cannot contain any of the following characters: % # \\ : | + * ' > < ? / \"";
    }
    return {};
}

std::string CheckIdentity(std::string_view label, std::string_view text, size_t max)
{
    if (text.empty()) {
        return "Error: the " + std::string(label) + " is missing";
    }
    if (text.size() > max) {
        return "Error: the " + std::string(label) + " is longer than " + std::to_string(max) + " bytes";
    }
    if (!IsXmlText(text)) {
        return "Error: the " + std::string(label) + std::string(kNotText);
    }
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f) {
            return "Error: the " + std::string(label) + " holds spaces or control characters";
        }
    }
    return {};
}

// Decrypts an encrypted field; an empty field is an empty list.
bool DecryptField(std::string_view encrypted, std::string& plain, bool allowLineBreaks)
{
    plain.clear();
    if (encrypted.empty()) {
        return true;
    }
    if (!zyr::cipher::Decrypt(encrypted, plain)) {
        plain.clear();
        return false;
    }
    return IsXmlText(plain) && !HasControl(plain, allowLineBreaks);
}

// Empty when every field of the request's query is text a list may show and
// the origin of the change fits its audit record, else the reason.
std::string CheckQueryText(const FormFields& query)
{
    for (const auto& [key, value] : query.Fields()) {
        if (!IsXmlText(value)) {
            return "Error: the field " + ToXmlText(key) + std::string(kNotText);
        }
    }
    for (std::string_view key : {"User", "Computer"}) {
        if (query.Get(key).size() > kMaxText) {
            return "Error: the field " + std::string(key) + " is longer than 255 bytes";
        }
    }
    return {};
}

// Reads an access-control list field into its plain and canonical encrypted forms.
std::string ReadAcl(std::string_view encrypted, std::string& plain, std::string& canonical)
{
    if (!DecryptField(encrypted, plain, true)) {
        return "Error: the access-control list cannot be read";
    }
    std::vector<AccessItem> items;
    if (!ParseAccessList(plain, items)) {
        return "Error: the access-control list is malformed";
    }
    for (const auto& item : items) {
        if (item.role.size() > kMaxRoleInAcl) {
            return "Error: a role name of the access-control list is too long";
        }
    }
    canonical = zyr::cipher::Encrypt(plain);
    return {};
}

// The access-control list of a group or object update body: refused when the
// field is missing or does not decrypt to a list.
std::string ReadBodyAcl(const FormFields& body, std::string& plain, std::string& canonical)
{
    if (!body.Has("ACL")) {
        return "Error: the access-control list is missing";
    }
    return ReadAcl(body.Get("ACL"), plain, canonical);
}

std::string ReadPermissions(std::string_view encrypted, std::string& plain, std::string& canonical)
{
    if (!DecryptField(encrypted, plain, false)) {
        return "Error: the permission list cannot be read";
    }
    canonical = zyr::cipher::Encrypt(plain);
    return {};
}

std::string ReadMembers(std::string_view encrypted, std::vector<std::string>& names)
{
    std::string plain;
    if (!DecryptField(encrypted, plain, false)) {
        return "Error: the member list cannot be read";
    }
    names = ParseMemberList(plain);
    for (const auto& name : names) {
        if (name.size() > kMaxText) {
            return "Error: a member name is longer than 255 bytes";
        }
    }
    return {};
}

std::string First(std::initializer_list<std::string> checks)
{
    for (const auto& c : checks) {
        if (!c.empty()) {
            return c;
        }
    }
    return {};
}

// Empty when a record's name, identity and description are acceptable, else
// the first reason.
template <class Record>
std::string CheckNamed(const Record& r, std::string_view noun, size_t maxIdentity,
                       std::string_view descriptionLabel = "description")
{
    return First({CheckText(std::string(noun) + " name", r.name, true),
                  CheckIdentity(std::string(noun) + " identity", r.dn, maxIdentity),
                  CheckText(descriptionLabel, r.description, false)});
}

// Takes a record's name (from the field nameKey), identity and description
// from a request's query and checks them.
template <class Record>
std::string ReadNamed(const FormFields& q, std::string_view nameKey, Record& r, std::string_view noun,
                      size_t maxIdentity)
{
    r.name = q.Get(nameKey);
    r.dn = q.Get("DN");
    r.description = q.Get("Desc");
    return CheckNamed(r, noun, maxIdentity);
}

} // namespace

SecurityService::SecurityService(SecurityStore& store, AuditGate& gate, Clock clock)
    : store_(store), gate_(gate), clock_(clock ? std::move(clock) : Clock([] { return std::time(nullptr); }))
{
}

bool SecurityService::Start(std::string& reason)
{
    bool on = false;
    if (!store_.GetComplianceFlag(on)) {
        reason = "the compliance flag cannot be read";
        return false;
    }
    gate_.SetComplianceOn(on);
    return true;
}

std::string SecurityService::Now() const
{
    return FormatLocalTime(clock_());
}

AuditRecord SecurityService::Audit(const FormFields& query, std::string object, std::string operation,
                                   std::string identity, std::string name) const
{
    AuditRecord a;
    a.time = Now();
    a.user = std::string(query.Get("User"));
    a.computer = std::string(query.Get("Computer"));
    a.object = std::move(object);
    a.operation = std::move(operation);
    a.identity = std::move(identity);
    a.name = std::move(name);
    return a;
}

bool SecurityService::ComplianceOn() const
{
    // The flag is switched on for good, so only an off flag is read again.
    bool on = false;
    if (!gate_.ComplianceOn() && store_.Shared() &&
        Read(store_.GetComplianceFlag(on), "the compliance flag") && on) {
        gate_.SetComplianceOn(true);
    }
    return gate_.ComplianceOn();
}

bool SecurityService::AuditPathOpen(const FormFields& query) const
{
    return !ComplianceOn() || gate_.CanSend(query.Get("Computer"));
}

bool SecurityService::ReadAuditValues(const FormFields& body, AuditRecord& audit, std::string& why) const
{
    if (!DecryptField(body.Get("OldValue"), audit.oldValue, true) ||
        !DecryptField(body.Get("NewValue"), audit.newValue, true)) {
        why = "Error: the audit values cannot be read";
        return false;
    }
    return true;
}

Outcome SecurityService::Finish(StoreResult result, std::string_view what)
{
    switch (result) {
    case StoreResult::Ok:
        return Outcome::Done();
    case StoreResult::NotFound:
        return Outcome::Refuse("Error: no " + std::string(what) + " has this identity");
    case StoreResult::ParentNotFound:
        return Outcome::Refuse("Error: the " + std::string(what) + " names a parent that does not exist");
    case StoreResult::DuplicateIdentity:
        return Outcome::Refuse("Error: a record with this identity already exists");
    case StoreResult::DuplicateName:
        return Outcome::Refuse("Error: " + std::string(what == "application" ? "an " : "a ") +
                               std::string(what) + " with this name already exists");
    case StoreResult::Failed:
        break;
    }
    // A full disk or a database gone read-only fails every change; the log
    // says so without being flooded.
    static RepeatedWarning storageFailures;
    storageFailures.Log("the security database could not store a change to a " + std::string(what));
    return Outcome::Refuse("Error: the security database could not store the change");
}

Outcome SecurityService::ChangeWithValues(std::string why, const FormFields& query, const FormFields& body,
                                          AuditRecord audit, Reach reach, std::string_view what,
                                          const std::function<StoreResult(const AuditRecord&)>& write)
{
    if (why.empty()) {
        ReadAuditValues(body, audit, why);
    }
    return Change(why, query, reach, what, [&] { return write(audit); });
}

Outcome SecurityService::Delete(const FormFields& q, std::string_view what, const char* object,
                                const char* nameKey,
                                StoreResult (SecurityStore::*remove)(const std::string&, const AuditRecord&))
{
    std::string dn(q.Get("DN"));
    std::string why = CheckIdentity(std::string(what) + " identity", dn, kMaxIdentity);
    return Change(why, q, Reach::Applications, what, [&] {
        return (store_.*remove)(dn, Audit(q, object, "Delete", dn, std::string(q.Get(nameKey))));
    });
}

Outcome SecurityService::Change(std::string_view why, const FormFields& query, Reach reach,
                                std::string_view what, const std::function<StoreResult()>& write)
{
    if (!why.empty()) {
        return Outcome::Refuse(std::string(why));
    }
    if (std::string bad = CheckQueryText(query); !bad.empty()) {
        return Outcome::Refuse(bad);
    }
    if (!AuditPathOpen(query)) {
        return Outcome::NoAudit();
    }
    StoreResult result = write();
    changesGeneration_.fetch_add(1);
    if (reach == Reach::Applications) {
        applicationsGeneration_.fetch_add(1);
    }
    return Finish(result, what);
}

// ---- applications ----

bool SecurityService::ListApplications(std::vector<ApplicationRecord>& out)
{
    return Read(store_.ListApplications(out), "the applications");
}

Outcome SecurityService::AddApplication(const FormFields& q)
{
    ApplicationRecord a;
    std::string why = First({ReadNamed(q, "Appl", a, "application", kMaxParentIdentity),
                             ReadPermissions(q.Get("Perm"), a.permissionsPlain, a.permissionsEncrypted),
                             ReadAcl(q.Get("ACL"), a.aclPlain, a.aclEncrypted)});
    return Change(why, q, Reach::Applications, "application", [&] {
        AuditRecord audit = Audit(q, "Appl", "Add", a.dn, a.name);
        return store_.AddApplication(a, audit);
    });
}

Outcome SecurityService::UpdateApplication(const FormFields& q, const FormFields& body)
{
    ApplicationRecord a;
    std::string why = ReadNamed(q, "CN", a, "application", kMaxParentIdentity);
    if (why.empty() && !q.Has("Perm")) {
        why = "Error: the permission list is missing";
    }
    if (why.empty() && !body.Has("ACL")) {
        why = "Error: the access-control list is missing";
    }
    if (why.empty()) {
        why = First({ReadPermissions(q.Get("Perm"), a.permissionsPlain, a.permissionsEncrypted),
                     ReadAcl(body.Get("ACL"), a.aclPlain, a.aclEncrypted)});
    }
    return ChangeWithValues(why, q, body, Audit(q, "Appl", "Update", a.dn, a.name), Reach::Applications,
                            "application",
                            [&](const AuditRecord& audit) { return store_.UpdateApplication(a, audit); });
}

Outcome SecurityService::DeleteApplication(const FormFields& q)
{
    return Delete(q, "application", "Appl", "Appl", &SecurityStore::DeleteApplication);
}

Outcome SecurityService::ImportApplication(const FormFields& q, std::string_view fileText)
{
    ApplicationRecord a;
    std::string reason;
    if (!ReadExportFile(fileText, a, reason)) {
        return Outcome::Refuse("Error: " + reason);
    }
    std::string why = CheckNamed(a, "application", kMaxParentIdentity);
    if (why.empty() && (!IsXmlText(a.permissionsPlain) || HasControl(a.permissionsPlain, false))) {
        why = "Error: the permission list holds control characters";
    }
    std::set<std::string> identities{a.dn};
    for (const auto& g : a.groups) {
        if (why.empty()) {
            why = CheckNamed(g, "group", kMaxParentIdentity, "group description");
        }
        if (why.empty() && !identities.insert(g.dn).second) {
            why = "Error: the file uses an identity twice";
        }
        for (const auto& o : g.objects) {
            if (why.empty()) {
                why = CheckNamed(o, "object", kMaxIdentity, "object description");
            }
            if (why.empty() && !identities.insert(o.dn).second) {
                why = "Error: the file uses an identity twice";
            }
        }
    }
    if (!why.empty()) {
        return Outcome::Refuse(why);
    }
    if (EqualsNoCase(a.name, kConsoleApplication)) {
        std::vector<ApplicationRecord> applications;
        std::vector<RoleRecord> roles;
        if (!ReadConsoleApplication(applications) || !ListRoles(roles)) {
            return Outcome::Refuse("Error: the security database cannot be read");
        }
        if (!KeepsConsoleOpen(a, std::move(applications), roles)) {
            LogWarning("authorization: an import over the console's application refused: it would lock the "
                       "console");
            return Outcome::Refuse(std::string(kLockoutRefusal));
        }
    }
    // The file's permission list is kept as the console reads it back: the
    // text after the last ";" is dropped.
    a.permissionsPlain = RenderPermissionList(ParsePermissionList(a.permissionsPlain));
    a.permissionsEncrypted = zyr::cipher::Encrypt(a.permissionsPlain);
    StoreResult result = StoreResult::Ok;
    Outcome outcome = Change({}, q, Reach::Applications, "application", [&] {
        return result = store_.ImportApplication(a, Audit(q, "KVTAPI", "ApplImp", a.dn, a.name));
    });
    if (result == StoreResult::DuplicateName || result == StoreResult::DuplicateIdentity) {
        return Outcome::Refuse("Error: an application with the same name or ID already exists");
    }
    return outcome;
}

// ---- groups ----

Outcome SecurityService::AddGroup(const FormFields& q)
{
    GroupRecord g;
    g.applDn = q.Get("Appl");
    std::string why = First({CheckIdentity("application identity", g.applDn, kMaxIdentity),
                             ReadNamed(q, "Group", g, "group", kMaxParentIdentity),
                             ReadAcl(q.Get("ACL"), g.aclPlain, g.aclEncrypted)});
    return Change(why, q, Reach::Applications, "group",
                  [&] { return store_.AddGroup(g, Audit(q, "SecGroup", "Add", g.dn, g.name)); });
}

Outcome SecurityService::UpdateGroup(const FormFields& q, const FormFields& body)
{
    GroupRecord g;
    std::string why = ReadNamed(q, "Group", g, "group", kMaxIdentity);
    if (why.empty()) {
        why = ReadBodyAcl(body, g.aclPlain, g.aclEncrypted);
    }
    return ChangeWithValues(why, q, body, Audit(q, "SecGroup", "Update", g.dn, g.name), Reach::Applications,
                            "group", [&](const AuditRecord& audit) { return store_.UpdateGroup(g, audit); });
}

Outcome SecurityService::DeleteGroup(const FormFields& q)
{
    return Delete(q, "group", "SecGroup", "Group", &SecurityStore::DeleteGroup);
}

// ---- objects ----

namespace {

std::string ReadQualifier(const FormFields& q, ObjectRecord& o)
{
    static const std::set<std::string, std::less<>> kOperators = {"", ">", ">=", "<", "=<", "=="};
    static const std::set<std::string, std::less<>> kTypes = {"", "String", "Integer", "Decimal"};
    o.qualifierName = q.Get("QName");
    o.qualifierType = q.Get("QType");
    o.qualifierOperator = q.Get("QOper");
    o.qualifierValue = q.Get("QValue");
    int64_t useQ = 0;
    std::string_view useText = q.Get("UseQ");
    if (!useText.empty() && (!ParseInt64(useText, useQ) || useQ < 0 || useQ > 1)) {
        return "Error: the qualifier switch must be 0 or 1";
    }
    o.useQualifier = static_cast<int32_t>(useQ);
    if (kOperators.find(o.qualifierOperator) == kOperators.end()) {
        return "Error: the qualifier operator is not one of > >= < =< ==";
    }
    if (kTypes.find(o.qualifierType) == kTypes.end()) {
        return "Error: the qualifier type is not one of String, Integer, Decimal";
    }
    if (o.qualifierName.size() > kMaxQualifier || o.qualifierValue.size() > kMaxQualifier ||
        HasControl(o.qualifierName, false) || HasControl(o.qualifierValue, false)) {
        return "Error: the qualifier name or value is too long or holds control characters";
    }
    return {};
}

} // namespace

Outcome SecurityService::AddObject(const FormFields& q)
{
    ObjectRecord o;
    o.name = q.Get("CN");
    o.dn = q.Get("DN");
    o.groupDn = q.Get("Group");
    o.description = q.Get("Desc");
    std::string applDn(q.Get("Appl"));
    std::string why =
        First({CheckText("object name", o.name, true), CheckIdentity("object identity", o.dn, kMaxIdentity),
               CheckIdentity("group identity", o.groupDn, kMaxIdentity),
               CheckText("description", o.description, false),
               ReadAcl(q.Get("ACL"), o.aclPlain, o.aclEncrypted), ReadQualifier(q, o)});
    if (!why.empty()) {
        return Outcome::Refuse(why);
    }
    GroupRecord group;
    if (!store_.FindGroup(o.groupDn, group)) {
        return Outcome::Refuse("Error: no group has this identity");
    }
    if (!applDn.empty() && applDn != group.applDn) {
        why = "Error: the group does not belong to that application";
    }
    return Change(why, q, Reach::Applications, "object",
                  [&] { return store_.AddObject(o, Audit(q, "SecObj", "Add", o.dn, o.name)); });
}

Outcome SecurityService::UpdateObject(const FormFields& q, const FormFields& body)
{
    ObjectRecord o;
    std::string why = First({ReadNamed(q, "CN", o, "object", kMaxIdentity), ReadQualifier(q, o)});
    if (why.empty()) {
        why = ReadBodyAcl(body, o.aclPlain, o.aclEncrypted);
    }
    return ChangeWithValues(why, q, body, Audit(q, "SecObj", "Update", o.dn, o.name), Reach::Applications,
                            "object",
                            [&](const AuditRecord& audit) { return store_.UpdateObject(o, audit); });
}

Outcome SecurityService::DeleteObject(const FormFields& q)
{
    return Delete(q, "object", "SecObj", "CN", &SecurityStore::DeleteObject);
}

// ---- roles ----

bool SecurityService::ListRoles(std::vector<RoleRecord>& out)
{
    return Read(store_.ListRoles(out), "the roles");
}

Outcome SecurityService::AddRole(const FormFields& q)
{
    RoleRecord r;
    // The console spells the first member key "MemeberUser"; both spellings count.
    std::string_view users = q.Has("MemeberUser") ? q.Get("MemeberUser") : q.Get("MemberUser");
    std::string why = First({ReadNamed(q, "CN", r, "role", kMaxIdentity), ReadMembers(users, r.memberUsers),
                             ReadMembers(q.Get("MemberGroup"), r.memberGroups)});
    return Change(why, q, Reach::Records, "role",
                  [&] { return store_.AddRole(r, Audit(q, "Role", "Add", r.dn, r.name)); });
}

Outcome SecurityService::UpdateRole(const FormFields& q, const FormFields& body)
{
    RoleRecord r;
    std::string why = ReadNamed(q, "CN", r, "role", kMaxIdentity);
    if (why.empty() && (!body.Has("MemberUser") || !body.Has("MemberGroup"))) {
        why = "Error: the member lists are missing";
    }
    if (why.empty()) {
        why = First({ReadMembers(body.Get("MemberUser"), r.memberUsers),
                     ReadMembers(body.Get("MemberGroup"), r.memberGroups)});
    }
    return ChangeWithValues(why, q, body, Audit(q, "Role", "Update", r.dn, r.name), Reach::Records, "role",
                            [&](const AuditRecord& audit) { return store_.UpdateRole(r, audit); });
}

Outcome SecurityService::DeleteRole(const FormFields& q)
{
    // The store takes the role's entries out of the access-control lists
    // too, so a kept application list is out of date.
    return Delete(q, "role", "Role", "CN", &SecurityStore::DeleteRole);
}

} // namespace zyr::server
