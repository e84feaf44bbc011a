// The rule by which an account holds a role and a role's access-control
// entries grant it permissions: the one evaluation that the client's
// authorization component and the security server share. Works on plain
// (decrypted) member lists and access-control lists.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::accessrule {

struct CachedRole {
    std::string dn;
    std::string name;
    std::vector<std::string> memberUsers;  // "DOMAIN\user"
    std::vector<std::string> memberGroups; // "DOMAIN\group", or "Everyone"
};

struct AccessGrant {
    std::string role;
    uint32_t mask = 0;
};

// An account with the groups the name service puts it in, each as
// "DOMAIN\group".
struct AccountIdentity {
    std::string domain;
    std::string user;
    std::vector<std::string> groups;
};

// Items of a plain list split at ";", empty pieces dropped.
std::vector<std::string> SplitList(std::string_view plain);

// A plain access-control list, "role:mask;role:mask". False (and empty) when
// an entry does not read.
bool ParsePlainAccessList(std::string_view plain, std::vector<AccessGrant>& acl);

// Whether "DOMAIN\name" (or a bare name, a local account) names the account
// domain\user. Names compare without case.
bool SameAccount(std::string_view member, std::string_view domain, std::string_view user,
                 std::string_view computerName);

// The name the name service and PAM know the account by: the bare user for a
// local account (no domain, or the computer's name), user@domain otherwise.
std::string NameServiceAccount(std::string_view domain, std::string_view user, std::string_view computerName);

// The account and its name-service groups (getgrouplist). The groups of a
// local account carry the computer's name as domain, those of a directory
// account the account's domain.
AccountIdentity LookUpAccount(std::string_view domain, std::string_view user, std::string_view computerName);

// The member of a role through which an account holds it: the account
// itself, one of its groups, or "Everyone"; None when it does not hold it.
struct RoleMatch {
    enum class Kind { None, User, Group, Everyone };
    Kind kind = Kind::None;
    std::string member; // the member as the role lists it
};
RoleMatch MatchRole(const CachedRole& role, const AccountIdentity& account, std::string_view computerName);

// Whether the role lists the account as a user, lists one of its groups, or
// lists "Everyone". Names compare without case; a member without a domain
// stands for a local account of this computer.
bool AccountHoldsRole(const CachedRole& role, const AccountIdentity& account, std::string_view computerName);

// Whether the union of the masks that acl grants the account's roles holds
// every bit of permission (a permission of 0 is never granted).
bool PermissionGranted(const std::vector<AccessGrant>& acl, const std::vector<CachedRole>& roles,
                       const AccountIdentity& account, std::string_view computerName, uint32_t permission);

// How the console object guards the console. NotSecured: there is no console
// object, or its list is empty (every account may open it). Granted: an
// entry gives "Open" to a role that lists a member. LockedOut: its list holds
// entries, and none gives "Open" to such a role.
enum class ConsoleGuard { NotSecured, Granted, LockedOut };

// consoleAcl: the console object's entries, null when there is no such
// object; roleHasMembers: whether a role of that name (without regard to
// case) lists a member.
ConsoleGuard JudgeConsoleGuard(const std::vector<AccessGrant>* consoleAcl,
                               const std::function<bool(std::string_view role)>& roleHasMembers,
                               uint32_t openPermission);

// The lockout guard's rule, the same on the clients and the server: a change
// that takes the console from a state where some account may open it to one
// where none may by a grant, into LockedOut from anywhere else, or from
// Granted to NotSecured (the console object taken away, its list emptied).
bool WouldLockOut(ConsoleGuard before, ConsoleGuard after);

} // namespace zyr::accessrule
