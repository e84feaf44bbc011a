// The audit texts that page applies send with an update, built without the
// pages: the console's property pages and zyrsec call the same builders, so
// both leave the same trail.
//
// Each builder works on a fresh pair of value records of its own, so nothing
// left over from an earlier apply leaks into the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zyr::audit {

// The renderings of the old-value and new-value records.
struct AuditRenderings {
    std::string oldValues; // "<OldValue>...</OldValue>"
    std::string newValues; // "<NewValue>...</NewValue>"
};

// "OldValue=", the encrypted old rendering, "&NewValue=", the encrypted new
// rendering (the cipher's base-64 variant, built-in pass phrase).
std::string MakeAuditText(const AuditRenderings& renderings);

// ---------------------------------------------------------------------------
// Access pages of applications, groups and objects.

// A permission as the page lists it: its name and bit value.
struct PermissionItem {
    std::string name;
    uint32_t value = 0;
};
// One role of the page's role combo: the mask it showed before the apply and
// the mask the access-control list holds now.
struct RoleMaskChange {
    std::string role;
    uint32_t oldMask = 0;
    uint32_t newMask = 0;
};

// R ":" and the comma-separated names of the items whose value shares a bit
// with mask, in list order.
std::string AceAuditEntry(const std::string& role, uint32_t mask, const std::vector<PermissionItem>& items);

// A "Description" field in both records when the description changed (exact
// comparison), then an "ACE" list in both records: for each role whose mask
// changed, in combo order, its entry for the old mask and for the new mask.
// The "ACE" lists are there even when no role changed.
AuditRenderings AccessPageRenderings(const std::string& oldDescription, const std::string& newDescription,
                                     const std::vector<RoleMaskChange>& roles,
                                     const std::vector<PermissionItem>& items);

// ---------------------------------------------------------------------------
// Permission page of an application.

// A permission as name and value text ("Open", "0x00000001"); its audit form
// is name ":" value.
struct PermissionText {
    std::string name;
    std::string value;
    bool operator==(const PermissionText&) const = default;
};
// A "PermNamesList" list in both records: the old permissions that are not in
// the new list unchanged (removed or changed), and the new ones that were not
// in the old list (added or changed).
AuditRenderings PermissionPageRenderings(const std::vector<PermissionText>& oldPermissions,
                                         const std::vector<PermissionText>& newPermissions);

// ---------------------------------------------------------------------------
// Role pages.

// A "Description" field in both records; nothing (no update to send) when the
// description did not change.
std::optional<AuditRenderings> RoleDescriptionRenderings(const std::string& oldDescription,
                                                         const std::string& newDescription);

// "MemberUsers" and "MemberGroups" lists: the members removed in the old-value
// record, the members added in the new-value record (exact comparison, in
// list order, each name once). Nothing (no update to send) when no member was
// added or removed.
std::optional<AuditRenderings> RoleMembersRenderings(const std::vector<std::string>& oldUsers,
                                                     const std::vector<std::string>& oldGroups,
                                                     const std::vector<std::string>& newUsers,
                                                     const std::vector<std::string>& newGroups);

} // namespace zyr::audit
