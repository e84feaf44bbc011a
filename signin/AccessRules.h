// The rules by which the authorization component decides: role membership of
// an account (directly, through a name-service group, or through "Everyone")
// and the permissions that the access-control lists of the application cache
// grant the account's roles. Both cache texts are the decrypted files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::signin {

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

// The roles of the role cache ("KVTROLES"), member lists decrypted. False when
// the text is not such a document.
bool ParseRoleCache(std::string_view xml, std::vector<CachedRole>& roles);

// The identity of the securable object application/group/object in the
// application cache ("KVTAPPLS"), names compared without case; empty when it
// is not there.
std::string FindObjectDn(std::string_view applXml, std::string_view application, std::string_view group,
                         std::string_view object);

// The access-control list of the application, group or object with the
// identity dn. False when there is no such record or its list does not read.
bool FindAccessList(std::string_view applXml, std::string_view dn, std::vector<AccessGrant>& acl);

// The name the name service and PAM know the account by: the bare user for a
// local account (no domain, or the computer's name), user@domain otherwise.
std::string NameServiceAccount(std::string_view domain, std::string_view user, std::string_view computerName);

// The account and its name-service groups (getgrouplist). The groups of a
// local account carry the computer's name as domain, those of a directory
// account the account's domain.
AccountIdentity LookUpAccount(std::string_view domain, std::string_view user, std::string_view computerName);

// Whether the role lists the account as a user, lists one of its groups, or
// lists "Everyone". Names compare without case; a member without a domain
// stands for a local account of this computer.
bool AccountHoldsRole(const CachedRole& role, const AccountIdentity& account, std::string_view computerName);

// Whether the union of the masks that acl grants the account's roles holds
// every bit of permission (a permission of 0 is never granted).
bool PermissionGranted(const std::vector<AccessGrant>& acl, const std::vector<CachedRole>& roles,
                       const AccountIdentity& account, std::string_view computerName, uint32_t permission);

} // namespace zyr::signin
