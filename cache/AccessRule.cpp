#include "cache/AccessRule.h"

#include "platform/identity/Identity.h"
#include "platform/text/CodePage.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <charconv>

namespace zyr::accessrule {

using zyr::text::EqualsNoCase;

namespace {

bool ParseMask(std::string_view text, uint32_t& mask)
{
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < INT32_MIN ||
        value > static_cast<int64_t>(UINT32_MAX)) {
        return false;
    }
    mask = static_cast<uint32_t>(value);
    return true;
}
// "DOMAIN\name" into its parts; without a backslash the domain is empty.
void SplitMember(std::string_view member, std::string_view& domain, std::string_view& name)
{
    size_t slash = member.rfind('\\');
    if (slash == std::string_view::npos) {
        domain = {};
        name = member;
    } else {
        domain = member.substr(0, slash);
        name = member.substr(slash + 1);
    }
}
bool SameDomain(std::string_view memberDomain, std::string_view accountDomain, std::string_view computerName)
{
    if (memberDomain.empty()) {
        memberDomain = computerName;
    }
    if (accountDomain.empty()) {
        accountDomain = computerName;
    }
    return EqualsNoCase(memberDomain, accountDomain);
}
bool MatchesAccount(std::string_view member, std::string_view domain, std::string_view name,
                    std::string_view computerName)
{
    std::string_view memberDomain, memberName;
    SplitMember(member, memberDomain, memberName);
    return EqualsNoCase(memberName, name) && SameDomain(memberDomain, domain, computerName);
}
bool IsEveryone(std::string_view member)
{
    std::string_view domain, name;
    SplitMember(member, domain, name);
    return EqualsNoCase(name, "Everyone");
}

} // namespace

std::vector<std::string> SplitList(std::string_view plain)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= plain.size()) {
        size_t end = plain.find(';', start);
        if (end == std::string_view::npos) {
            end = plain.size();
        }
        if (end > start) {
            out.emplace_back(plain.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

bool ParsePlainAccessList(std::string_view plain, std::vector<AccessGrant>& acl)
{
    acl.clear();
    for (const std::string& item : SplitList(plain)) {
        size_t colon = item.rfind(':');
        AccessGrant grant;
        if (colon == std::string::npos || !ParseMask(std::string_view(item).substr(colon + 1), grant.mask)) {
            acl.clear();
            return false;
        }
        grant.role = item.substr(0, colon);
        acl.push_back(std::move(grant));
    }
    return true;
}

bool SameAccount(std::string_view member, std::string_view domain, std::string_view user,
                 std::string_view computerName)
{
    return MatchesAccount(member, domain, user, computerName);
}

std::string NameServiceAccount(std::string_view domain, std::string_view user, std::string_view computerName)
{
    if (domain.empty() || EqualsNoCase(domain, computerName)) {
        return std::string(user);
    }
    return std::string(user) + "@" + std::string(domain);
}

AccountIdentity LookUpAccount(std::string_view domain, std::string_view user, std::string_view computerName)
{
    AccountIdentity account;
    account.domain = domain.empty() ? std::string(computerName) : std::string(domain);
    account.user = std::string(user);
    const std::string name = NameServiceAccount(domain, user, computerName);

    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return account;
    }
    int count = 64;
    std::vector<gid_t> gids(count);
    if (getgrouplist(name.c_str(), found->pw_gid, gids.data(), &count) < 0) {
        gids.resize(count);
        if (getgrouplist(name.c_str(), found->pw_gid, gids.data(), &count) < 0) {
            return account;
        }
    }
    gids.resize(count);
    for (gid_t gid : gids) {
        group groupEntry{};
        group* groupFound = nullptr;
        std::vector<char> groupBuffer(65536);
        if (getgrgid_r(gid, &groupEntry, groupBuffer.data(), groupBuffer.size(), &groupFound) != 0 ||
            groupFound == nullptr || groupFound->gr_name == nullptr) {
            continue;
        }
        // A directory group may come as "group@realm"; it keeps its realm.
        std::string groupDomain, groupName;
        zyr::identity::SplitAccount(groupFound->gr_name, account.domain, groupDomain, groupName);
        account.groups.push_back(groupDomain + "\\" + groupName);
    }
    return account;
}

RoleMatch MatchRole(const CachedRole& role, const AccountIdentity& account, std::string_view computerName)
{
    for (const std::string& member : role.memberUsers) {
        if (MatchesAccount(member, account.domain, account.user, computerName)) {
            return {RoleMatch::Kind::User, member};
        }
    }
    for (const std::string& member : role.memberGroups) {
        if (IsEveryone(member)) {
            return {RoleMatch::Kind::Everyone, member};
        }
        for (const std::string& group : account.groups) {
            std::string_view groupDomain, groupName;
            SplitMember(group, groupDomain, groupName);
            if (MatchesAccount(member, groupDomain, groupName, computerName)) {
                return {RoleMatch::Kind::Group, member};
            }
        }
    }
    return {};
}

bool AccountHoldsRole(const CachedRole& role, const AccountIdentity& account, std::string_view computerName)
{
    return MatchRole(role, account, computerName).kind != RoleMatch::Kind::None;
}

bool PermissionGranted(const std::vector<AccessGrant>& acl, const std::vector<CachedRole>& roles,
                       const AccountIdentity& account, std::string_view computerName, uint32_t permission)
{
    if (permission == 0) {
        return false;
    }
    uint32_t granted = 0;
    for (const AccessGrant& grant : acl) {
        for (const CachedRole& role : roles) {
            if (EqualsNoCase(role.name, grant.role) && AccountHoldsRole(role, account, computerName)) {
                granted |= grant.mask;
                break;
            }
        }
    }
    return (granted & permission) == permission;
}

ConsoleGuard JudgeConsoleGuard(const std::vector<AccessGrant>* consoleAcl,
                               const std::function<bool(std::string_view role)>& roleHasMembers,
                               uint32_t openPermission)
{
    if (consoleAcl == nullptr || consoleAcl->empty()) {
        return ConsoleGuard::NotSecured;
    }
    for (const AccessGrant& grant : *consoleAcl) {
        if ((grant.mask & openPermission) != 0 && roleHasMembers(grant.role)) {
            return ConsoleGuard::Granted;
        }
    }
    return ConsoleGuard::LockedOut;
}

bool WouldLockOut(ConsoleGuard before, ConsoleGuard after)
{
    return (after == ConsoleGuard::LockedOut && before != ConsoleGuard::LockedOut) ||
           (before == ConsoleGuard::Granted && after == ConsoleGuard::NotSecured);
}

} // namespace zyr::accessrule
