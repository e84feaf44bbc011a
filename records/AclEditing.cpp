#include "records/AclEditing.h"

#include "records/Application.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace zyr::records {

AccessEntry* FindAccessEntry(std::vector<AccessEntry>& acl, std::string_view role)
{
    for (auto& entry : acl) {
        if (zyr::text::EqualsNoCase(entry.RoleName.view(), role)) {
            return &entry;
        }
    }
    return nullptr;
}

const AccessEntry* FindAccessEntry(const std::vector<AccessEntry>& acl, std::string_view role)
{
    return FindAccessEntry(const_cast<std::vector<AccessEntry>&>(acl), role);
}

uint32_t RoleMask(const std::vector<AccessEntry>& acl, std::string_view role)
{
    const AccessEntry* entry = FindAccessEntry(acl, role);
    return entry ? entry->Mask : 0;
}

uint32_t SetRoleMask(std::vector<AccessEntry>& acl, std::string_view role, uint32_t mask)
{
    if (AccessEntry* entry = FindAccessEntry(acl, role)) {
        uint32_t old = entry->Mask;
        entry->Mask = mask;
        return old;
    }
    acl.emplace_back(role, mask);
    return 0;
}

bool GrantPermission(std::vector<AccessEntry>& acl, std::string_view role, uint32_t bits)
{
    AccessEntry* entry = FindAccessEntry(acl, role);
    if (entry == nullptr) {
        acl.emplace_back(role, bits);
        return bits != 0;
    }
    uint32_t old = entry->Mask;
    entry->Mask |= bits;
    return entry->Mask != old;
}

bool RevokePermission(std::vector<AccessEntry>& acl, std::string_view role, uint32_t bits)
{
    AccessEntry* entry = FindAccessEntry(acl, role);
    if (entry == nullptr) {
        return false;
    }
    uint32_t old = entry->Mask;
    entry->Mask &= ~bits;
    return entry->Mask != old;
}

bool RemoveRoleEntry(std::vector<AccessEntry>& acl, std::string_view role)
{
    AccessEntry* entry = FindAccessEntry(acl, role);
    if (entry == nullptr) {
        return false;
    }
    acl.erase(acl.begin() + (entry - acl.data()));
    return true;
}

size_t RemoveRoleFromApplications(CKVTApplList& list, std::string_view role)
{
    size_t removed = 0;
    for (auto& application : list.Applications) {
        removed += RemoveRoleEntry(application->ACL, role) ? 1 : 0;
        for (auto& group : application->Groups) {
            removed += RemoveRoleEntry(group->ACL, role) ? 1 : 0;
            for (auto& object : group->Objects) {
                removed += RemoveRoleEntry(object->ACL, role) ? 1 : 0;
            }
        }
    }
    return removed;
}

uint32_t PermissionBits(const PermissionEntry& permission)
{
    return PermissionBits(permission.Value.view());
}

uint32_t PermissionBits(std::string_view text)
{
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    uint32_t bits = 0;
    for (char c : text) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
        bits = (bits << 4) | digit;
    }
    return bits;
}

std::string PermissionValueText(uint32_t bits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%.8x", bits);
    return text;
}

std::string GrantedPermissionNames(const std::vector<PermissionEntry>& permissions, uint32_t mask)
{
    std::string names;
    for (const auto& permission : permissions) {
        if ((PermissionBits(permission) & mask) != 0) {
            if (!names.empty()) {
                names.append(1, ',');
            }
            names.append(permission.Name.view());
        }
    }
    return names;
}

AccessChangeText DescribeAccessChange(const std::vector<PermissionEntry>& permissions, std::string_view role,
                                      uint32_t oldMask, uint32_t newMask)
{
    AccessChangeText text;
    if (oldMask == newMask) {
        return text;
    }
    text.oldText.append(role).append(1, ':').append(GrantedPermissionNames(permissions, oldMask));
    text.newText.append(role).append(1, ':').append(GrantedPermissionNames(permissions, newMask));
    return text;
}

bool IsGrantedInGroupsOrObjects(const CKVTAppl& application, uint32_t bits)
{
    auto grants = [bits](const std::vector<AccessEntry>& acl) {
        return std::any_of(acl.begin(), acl.end(),
                           [bits](const AccessEntry& e) { return (e.Mask & bits) == bits; });
    };
    for (const auto& group : application.Groups) {
        if (grants(group->ACL)) {
            return true;
        }
        for (const auto& object : group->Objects) {
            if (grants(object->ACL)) {
                return true;
            }
        }
    }
    return false;
}

PermissionListChange DiffPermissionLists(const std::vector<PermissionEntry>& before,
                                         const std::vector<PermissionEntry>& after)
{
    auto text = [](const PermissionEntry& p) {
        std::string t(p.Name.view());
        return t.append(1, ':').append(p.Value.view());
    };
    // Texts are compared exactly; every equal old text goes with a kept one.
    std::unordered_map<std::string, size_t> oldCounts;
    std::vector<std::string> oldTexts;
    oldTexts.reserve(before.size());
    for (const auto& p : before) {
        oldTexts.push_back(text(p));
        ++oldCounts[oldTexts.back()];
    }
    PermissionListChange change;
    std::unordered_map<std::string, bool> kept;
    for (const auto& p : after) {
        std::string t = text(p);
        if (oldCounts.count(t) != 0) {
            kept[t] = true;
        } else {
            change.added.push_back(std::move(t));
        }
    }
    for (auto& t : oldTexts) {
        if (kept.count(t) == 0) {
            change.removed.push_back(std::move(t));
        }
    }
    return change;
}

MemberListChange DiffMemberLists(const std::vector<std::string>& before,
                                 const std::vector<std::string>& after)
{
    NameSet oldNames;
    for (const auto& name : before) {
        oldNames.Insert(name);
    }
    NameSet newNames;
    MemberListChange change;
    for (const auto& name : after) {
        if (newNames.Insert(name) && !oldNames.Contains(name)) {
            change.added.push_back(name);
        }
    }
    NameSet reported;
    for (const auto& name : before) {
        if (!newNames.Contains(name) && reported.Insert(name)) {
            change.removed.push_back(name);
        }
    }
    return change;
}

} // namespace zyr::records
