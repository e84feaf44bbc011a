// Changes to access-control lists, permission lists and member lists that the
// console's pages and the command-line tool share: what they change in the
// records and the old and new texts they give the audit trail.
#pragma once

#include "records/AccessEntry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CKVTAppl;
class CKVTApplList;

namespace zyr::records {

// The first entry of the role (role names compared without regard to case),
// or null.
AccessEntry* FindAccessEntry(std::vector<AccessEntry>& acl, std::string_view role);
const AccessEntry* FindAccessEntry(const std::vector<AccessEntry>& acl, std::string_view role);
// The role's mask, 0 when it has no entry.
uint32_t RoleMask(const std::vector<AccessEntry>& acl, std::string_view role);

// Sets the role's mask, appending an entry when there is none. Returns the
// mask it had before (0 without an entry).
uint32_t SetRoleMask(std::vector<AccessEntry>& acl, std::string_view role, uint32_t mask);
// Adds bits to the role's mask (appending an entry when there is none); true
// when the mask changed.
bool GrantPermission(std::vector<AccessEntry>& acl, std::string_view role, uint32_t bits);
// Takes bits from the role's mask; the entry stays, possibly with mask 0.
// True when the mask changed.
bool RevokePermission(std::vector<AccessEntry>& acl, std::string_view role, uint32_t bits);
// Removes the role's first entry; true when there was one.
bool RemoveRoleEntry(std::vector<AccessEntry>& acl, std::string_view role);
// Removes the role's first entry from the ACL of every application, group
// and object of the list, as a deleted role leaves them. Returns how many
// entries were removed.
size_t RemoveRoleFromApplications(CKVTApplList& list, std::string_view role);

// The bit value of a permission: its value text read as base 16 ("0x" allowed);
// 0 when it is not hexadecimal.
uint32_t PermissionBits(const PermissionEntry& permission);
uint32_t PermissionBits(std::string_view valueText);
// "0x" and eight lower-case hexadecimal digits.
std::string PermissionValueText(uint32_t bits);
// The names of the permissions that share a bit with mask, in order, joined
// by ",".
std::string GrantedPermissionNames(const std::vector<PermissionEntry>& permissions, uint32_t mask);
// The audit text of one role's change: role ":" the granted names before,
// and the same after. Empty texts when the mask did not change.
struct AccessChangeText {
    std::string oldText;
    std::string newText;
};
AccessChangeText DescribeAccessChange(const std::vector<PermissionEntry>& permissions, std::string_view role,
                                      uint32_t oldMask, uint32_t newMask);
// Whether a group or object of the application has an entry whose mask holds
// every bit of bits (the application's own list is not looked at).
bool IsGrantedInGroupsOrObjects(const CKVTAppl& application, uint32_t bits);

// A permission list rewritten: "name:value" texts that went (removed or
// changed) and that came (added or changed), each in its list's order.
struct PermissionListChange {
    std::vector<std::string> removed;
    std::vector<std::string> added;
};
PermissionListChange DiffPermissionLists(const std::vector<PermissionEntry>& before,
                                         const std::vector<PermissionEntry>& after);

// A member list rewritten, names compared without regard to case: the names
// that went and the names that came, in order. Linear in the list sizes.
struct MemberListChange {
    std::vector<std::string> removed;
    std::vector<std::string> added;
};
MemberListChange DiffMemberLists(const std::vector<std::string>& before,
                                 const std::vector<std::string>& after);

} // namespace zyr::records
