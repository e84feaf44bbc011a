#include "server/service/ChangeRight.h"

#include "cache/AccessRule.h"
#include "cache/TextCipher.h"
#include "server/service/Accounts.h"
#include "server/service/FormFields.h"

namespace zyr::server {

namespace {

std::vector<zyr::accessrule::CachedRole> RulesRoles(const std::vector<RoleRecord>& roles)
{
    std::vector<zyr::accessrule::CachedRole> out;
    out.reserve(roles.size());
    for (const RoleRecord& role : roles) {
        out.push_back({role.dn, role.name, role.memberUsers, role.memberGroups});
    }
    return out;
}

void SplitAccountName(std::string_view account, std::string_view& domain, std::string_view& user)
{
    size_t slash = account.rfind('\\');
    domain = slash == std::string_view::npos ? std::string_view{} : account.substr(0, slash);
    user = slash == std::string_view::npos ? account : account.substr(slash + 1);
}

} // namespace

bool FindConsoleAcl(const std::vector<ApplicationRecord>& applications, std::string& aclPlain)
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
                    // List reads carry an object's list in its encrypted form only.
                    aclPlain = object.aclPlain;
                    return !aclPlain.empty() || object.aclEncrypted.empty() ||
                           zyr::cipher::Decrypt(object.aclEncrypted, aclPlain);
                }
            }
        }
    }
    return false;
}

bool MayOpenConsole(std::string_view account, const std::vector<ApplicationRecord>& applications,
                    const std::vector<RoleRecord>& roles)
{
    std::string aclPlain;
    if (!FindConsoleAcl(applications, aclPlain)) {
        return false;
    }
    std::vector<zyr::accessrule::AccessGrant> acl;
    if (!zyr::accessrule::ParsePlainAccessList(aclPlain, acl)) {
        return false;
    }
    if (acl.empty()) {
        return true;
    }
    std::string_view domain, user;
    SplitAccountName(account, domain, user);
    const std::string host = ShortHostName();
    zyr::accessrule::AccountIdentity identity = zyr::accessrule::LookUpAccount(domain, user, host);
    return zyr::accessrule::PermissionGranted(acl, RulesRoles(roles), identity, host, kOpenPermission);
}

bool SomeoneMayOpenConsole(const std::vector<ApplicationRecord>& applications,
                           const std::vector<RoleRecord>& roles)
{
    std::string aclPlain;
    std::vector<zyr::accessrule::AccessGrant> acl;
    if (!FindConsoleAcl(applications, aclPlain) || !zyr::accessrule::ParsePlainAccessList(aclPlain, acl)) {
        return false;
    }
    if (acl.empty()) {
        return true;
    }
    for (const zyr::accessrule::AccessGrant& grant : acl) {
        if ((grant.mask & kOpenPermission) == 0) {
            continue;
        }
        for (const RoleRecord& role : roles) {
            if (EqualsNoCase(role.name, grant.role) &&
                (!role.memberUsers.empty() || !role.memberGroups.empty())) {
                return true;
            }
        }
    }
    return false;
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
    if (!MayCloseConsole(object, operation) || !SomeoneMayOpenConsole(applications, roles)) {
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
        return SomeoneMayOpenConsole(applications, roles);
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
    return SomeoneMayOpenConsole(applications, roles);
}

} // namespace zyr::server
