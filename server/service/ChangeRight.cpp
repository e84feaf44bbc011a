#include "server/service/ChangeRight.h"

#include "cache/AccessRule.h"
#include "cache/TextCipher.h"
#include "server/service/Accounts.h"
#include "server/service/FormFields.h"

#include <algorithm>

namespace zyr::server {

namespace {

void SplitAccountName(std::string_view account, std::string_view& domain, std::string_view& user)
{
    size_t slash = account.rfind('\\');
    domain = slash == std::string_view::npos ? std::string_view{} : account.substr(0, slash);
    user = slash == std::string_view::npos ? account : account.substr(slash + 1);
}

} // namespace

namespace {

const ObjectRecord* FindConsoleObject(const std::vector<ApplicationRecord>& applications)
{
    for (const ApplicationRecord& appl : applications) {
        if (!EqualsNoCase(appl.name, kConsoleApplication)) {
            continue;
        }
        for (const GroupRecord& group : appl.groups) {
            if (!EqualsNoCase(group.name, kConsoleGroup)) {
                continue;
            }
            for (const ObjectRecord& object : group.objects) {
                if (EqualsNoCase(object.name, kConsoleObject)) {
                    return &object;
                }
            }
        }
    }
    return nullptr;
}

} // namespace

bool FindConsoleAcl(const std::vector<ApplicationRecord>& applications, std::string& aclPlain)
{
    const ObjectRecord* object = FindConsoleObject(applications);
    if (object == nullptr) {
        return false;
    }
    // List reads carry an object's list in its encrypted form only.
    aclPlain = object->aclPlain;
    return !aclPlain.empty() || object->aclEncrypted.empty() ||
           zyr::cipher::Decrypt(object->aclEncrypted, aclPlain);
}

ConsoleRights ConsoleRights::Of(const std::vector<ApplicationRecord>& applications,
                                const std::vector<RoleRecord>& roles)
{
    ConsoleRights rights;
    for (const ApplicationRecord& appl : applications) {
        if (EqualsNoCase(appl.name, kConsoleApplication)) {
            rights.applicationDn = appl.dn;
            break;
        }
    }
    std::string aclPlain;
    rights.present = FindConsoleObject(applications) != nullptr;
    rights.readable =
        FindConsoleAcl(applications, aclPlain) && zyr::accessrule::ParsePlainAccessList(aclPlain, rights.acl);
    for (const RoleRecord& role : roles) {
        if (std::any_of(rights.acl.begin(), rights.acl.end(), [&](const zyr::accessrule::AccessGrant& grant) {
                return EqualsNoCase(grant.role, role.name);
            })) {
            rights.roles.push_back({role.dn, role.name, role.memberUsers, role.memberGroups});
        }
    }
    return rights;
}

bool ConsoleRights::MayOpen(std::string_view account) const
{
    if (!readable) {
        return false;
    }
    if (acl.empty()) {
        return true;
    }
    std::string_view domain, user;
    SplitAccountName(account, domain, user);
    const std::string host = ShortHostName();
    zyr::accessrule::AccountIdentity identity = zyr::accessrule::LookUpAccount(domain, user, host);
    return zyr::accessrule::PermissionGranted(acl, roles, identity, host, kOpenPermission);
}

bool ConsoleRights::NamesRole(std::string_view dn) const
{
    return std::any_of(roles.begin(), roles.end(),
                       [&](const zyr::accessrule::CachedRole& role) { return role.dn == dn; });
}

bool MayOpenConsole(std::string_view account, const std::vector<ApplicationRecord>& applications,
                    const std::vector<RoleRecord>& roles)
{
    return ConsoleRights::Of(applications, roles).MayOpen(account);
}

zyr::accessrule::ConsoleGuard ConsoleGuardOf(const std::vector<ApplicationRecord>& applications,
                                             const std::vector<RoleRecord>& roles)
{
    using zyr::accessrule::ConsoleGuard;
    if (FindConsoleObject(applications) == nullptr) {
        return ConsoleGuard::NotSecured;
    }
    std::string aclPlain;
    std::vector<zyr::accessrule::AccessGrant> acl;
    if (!FindConsoleAcl(applications, aclPlain) || !zyr::accessrule::ParsePlainAccessList(aclPlain, acl)) {
        return ConsoleGuard::LockedOut; // a list that does not read grants nothing
    }
    const auto hasMembers = [&](std::string_view role) {
        return std::any_of(roles.begin(), roles.end(), [&](const RoleRecord& r) {
            return EqualsNoCase(r.name, role) && (!r.memberUsers.empty() || !r.memberGroups.empty());
        });
    };
    return zyr::accessrule::JudgeConsoleGuard(&acl, hasMembers, kOpenPermission);
}

bool SameAccount(std::string_view named, std::string_view account)
{
    std::string_view domain, user;
    SplitAccountName(account, domain, user);
    return zyr::accessrule::SameAccount(named, domain, user, ShortHostName());
}

} // namespace zyr::server

namespace zyr::server {

namespace {

std::string DecryptedOr(std::string_view encrypted, std::string fallback)
{
    std::string plain;
    return zyr::cipher::Decrypt(encrypted, plain) ? plain : fallback;
}

// The console as it stands before a change.
struct Before {
    Before(const std::vector<ApplicationRecord>& applications, const std::vector<RoleRecord>& roles)
        : guard(ConsoleGuardOf(applications, roles)), hasObject(FindConsoleObject(applications) != nullptr)
    {
    }
    zyr::accessrule::ConsoleGuard guard;
    bool hasObject;
};

bool KeepsOpen(const Before& before, const std::vector<ApplicationRecord>& applications,
               const std::vector<RoleRecord>& roles)
{
    using zyr::accessrule::ConsoleGuard;
    if (zyr::accessrule::WouldLockOut(before.guard, ConsoleGuardOf(applications, roles))) {
        return false;
    }
    // Without the console object the server lets no account change anything:
    // taking away an unsecured one closes the database as well.
    return !(before.guard == ConsoleGuard::NotSecured && before.hasObject &&
             FindConsoleObject(applications) == nullptr);
}

} // namespace

bool MayCloseConsole(std::string_view object, std::string_view operation)
{
    bool kind = EqualsNoCase(object, "Role") || EqualsNoCase(object, "SecObj") ||
                EqualsNoCase(object, "SecGroup") || EqualsNoCase(object, "Appl");
    return kind && (EqualsNoCase(operation, "Delete") || EqualsNoCase(operation, "Update"));
}

bool KeepsConsoleOpen(std::string_view object, std::string_view operation, const FormFields& query,
                      const FormFields& body, std::vector<ApplicationRecord> applications,
                      std::vector<RoleRecord> roles)
{
    if (!MayCloseConsole(object, operation)) {
        return true;
    }
    const Before before(applications, roles);
    if (before.guard == zyr::accessrule::ConsoleGuard::LockedOut) {
        return true;
    }
    const bool remove = EqualsNoCase(operation, "Delete");
    const std::string_view dn = query.Get("DN");
    const std::string name(query.Get("CN"));
    auto rename = [&](auto& record) {
        if (record.dn == dn && query.Has("CN")) {
            record.name = name;
        }
    };
    if (EqualsNoCase(object, "Role")) {
        if (remove) {
            std::erase_if(roles, [&](const RoleRecord& r) { return r.dn == dn; });
        }
        for (RoleRecord& role : roles) {
            if (!remove && role.dn == dn) {
                rename(role);
                role.memberUsers = zyr::accessrule::SplitList(DecryptedOr(body.Get("MemberUser"), {}));
                role.memberGroups = zyr::accessrule::SplitList(DecryptedOr(body.Get("MemberGroup"), {}));
            }
        }
        return KeepsOpen(before, applications, roles);
    }
    if (EqualsNoCase(object, "Appl")) {
        if (remove) {
            std::erase_if(applications, [&](const ApplicationRecord& a) { return a.dn == dn; });
        }
    }
    for (ApplicationRecord& appl : applications) {
        if (EqualsNoCase(object, "Appl") && !remove) {
            rename(appl);
        }
        if (EqualsNoCase(object, "SecGroup") && remove) {
            std::erase_if(appl.groups, [&](const GroupRecord& g) { return g.dn == dn; });
        }
        for (GroupRecord& group : appl.groups) {
            if (EqualsNoCase(object, "SecGroup") && !remove) {
                rename(group);
            }
            if (EqualsNoCase(object, "SecObj") && remove) {
                std::erase_if(group.objects, [&](const ObjectRecord& o) { return o.dn == dn; });
            }
            for (ObjectRecord& secObj : group.objects) {
                if (EqualsNoCase(object, "SecObj") && !remove && secObj.dn == dn) {
                    rename(secObj);
                    secObj.aclPlain = DecryptedOr(body.Get("ACL"), secObj.aclPlain);
                    secObj.aclEncrypted.clear();
                }
            }
        }
    }
    return KeepsOpen(before, applications, roles);
}

bool KeepsConsoleOpen(const ApplicationRecord& imported, std::vector<ApplicationRecord> applications,
                      const std::vector<RoleRecord>& roles)
{
    if (!EqualsNoCase(imported.name, kConsoleApplication)) {
        return true;
    }
    const Before before(applications, roles);
    // Judged as the import over the console's own application: the file's
    // application (objects without entries) in the place of one of that name.
    std::erase_if(applications,
                  [](const ApplicationRecord& a) { return EqualsNoCase(a.name, kConsoleApplication); });
    applications.push_back(imported);
    return KeepsOpen(before, applications, roles);
}

} // namespace zyr::server
