// Effective access, read from the fetched lists: what one account may do on
// every application, group and object (and through which of its roles), and
// who holds a permission on one of them. A grant is reported on the record
// whose access-control list holds it: the database defines no inheritance
// from an application to its groups or from a group to its objects, so none
// is made up here.
#pragma once

#include "cache/AccessRule.h"
#include "records/AccessEntry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CKVTAppl;
class CKVTApplList;
class CKVTApplSecObj;
class CKVTRole;
class CKVTRoleList;
class CKVTSecGroup;

namespace zyr::records {

// The sentence the views print beside every effective-access answer.
extern const char* const kGrantsWhereStoredNote;

// A role the account holds, and how: "user DOMAIN\name", "group DOMAIN\name"
// or "Everyone" (the first member that matches).
struct HeldRole {
    std::string role;
    std::string through;
};

// The roles of the list that the account holds, by the rule the
// authorization component applies, in the list's order.
std::vector<HeldRole> RolesOfAccount(const CKVTRoleList& roles,
                                     const zyr::accessrule::AccountIdentity& account,
                                     std::string_view computerName);

// A record that holds an access-control list: the application alone, the
// application and group, or all three.
struct AccessPlace {
    std::string application;
    std::string group;        // empty on an application
    std::string object;       // empty on an application or group
    std::string Kind() const; // "application", "group" or "object"
    std::string Path() const; // "App", "App / Group", "App / Group / Object"
};

// One permission granted on a place, with the roles whose entries grant it.
// A granted bit that no permission of the application names is reported
// under its value ("0x00000040").
struct GrantedPermission {
    std::string name;
    uint32_t bits = 0;
    std::vector<std::string> roles;
};

struct PlaceAccess {
    AccessPlace place;
    uint32_t mask = 0;
    std::vector<GrantedPermission> permissions;
};

// Every application, group and object of the list (or of the application
// named, without regard to case, when application is not empty) on which the
// held roles are granted any bit, in tree order.
std::vector<PlaceAccess> EffectiveAccess(const CKVTApplList& list, const std::vector<HeldRole>& held,
                                         std::string_view application = {});

// The permissions that the entries of acl grant, each with its roles, in the
// application's permission order (unnamed bits after them, lowest first).
// Only the entries of the roles named in only count when only is not null.
std::vector<GrantedPermission> GrantedPermissions(const std::vector<AccessEntry>& acl,
                                                  const CKVTAppl& application,
                                                  const std::vector<std::string>* only = nullptr);

// A role whose entry on a place holds the bits asked for, with its members;
// known is false when the entry names a role the role list does not hold.
struct PermissionHolder {
    std::string role;
    uint32_t mask = 0;
    bool known = false;
    std::vector<std::string> users;
    std::vector<std::string> groups;
};

// The roles whose entries in acl hold every bit of bits, in the list's order.
std::vector<PermissionHolder> WhoCan(const std::vector<AccessEntry>& acl, uint32_t bits,
                                     const CKVTRoleList& roles);

// The roles whose members may open the security console (the "Open" bit on
// the console object), with their members; empty when the object is missing
// or its list is empty (then nothing stops any account).
std::vector<PermissionHolder> ConsoleOpeners(const CKVTApplList& list, const CKVTRoleList& roles);

} // namespace zyr::records
