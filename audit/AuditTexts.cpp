#include "audit/AuditTexts.h"

#include "audit/AuditValueRecord.h"
#include "cache/TextCipher.h"

#include <algorithm>

namespace zyr::audit {

std::string MakeAuditText(const AuditRenderings& renderings)
{
    std::string oldText = renderings.oldValues;
    std::string newText = renderings.newValues;
    EncryptTextPair(oldText, newText);
    return "OldValue=" + oldText + "&NewValue=" + newText;
}

std::string AceAuditEntry(const std::string& role, uint32_t mask, const std::vector<PermissionItem>& items)
{
    std::string entry = role + ":";
    bool first = true;
    for (const PermissionItem& item : items) {
        if ((item.value & mask) == 0) {
            continue;
        }
        if (!first) {
            entry += ',';
        }
        entry += item.name;
        first = false;
    }
    return entry;
}

AuditRenderings AccessPageRenderings(const std::string& oldDescription, const std::string& newDescription,
                                     const std::vector<RoleMaskChange>& roles,
                                     const std::vector<PermissionItem>& items)
{
    CAuditValueRecord oldRecord(kOldValueTag);
    CAuditValueRecord newRecord(kNewValueTag);
    if (oldDescription != newDescription) {
        oldRecord.AddField("Description", oldDescription);
        newRecord.AddField("Description", newDescription);
    }
    std::vector<std::string> oldList;
    std::vector<std::string> newList;
    for (const RoleMaskChange& role : roles) {
        if (role.oldMask == role.newMask) {
            continue;
        }
        oldList.push_back(AceAuditEntry(role.role, role.oldMask, items));
        newList.push_back(AceAuditEntry(role.role, role.newMask, items));
    }
    oldRecord.AddList("ACE", oldList);
    newRecord.AddList("ACE", newList);
    return {oldRecord.Render(), newRecord.Render()};
}

AuditRenderings PermissionPageRenderings(const std::vector<PermissionText>& oldPermissions,
                                         const std::vector<PermissionText>& newPermissions)
{
    std::vector<std::string> oldList;
    for (const PermissionText& permission : oldPermissions) {
        oldList.push_back(permission.name + ":" + permission.value);
    }
    std::vector<std::string> newList;
    for (const PermissionText& permission : newPermissions) {
        std::string text = permission.name + ":" + permission.value;
        auto kept = std::remove(oldList.begin(), oldList.end(), text);
        if (kept == oldList.end()) {
            newList.push_back(text);
        }
        oldList.erase(kept, oldList.end());
    }
    CAuditValueRecord oldRecord(kOldValueTag);
    CAuditValueRecord newRecord(kNewValueTag);
    oldRecord.AddList("PermNamesList", oldList);
    newRecord.AddList("PermNamesList", newList);
    return {oldRecord.Render(), newRecord.Render()};
}

std::optional<AuditRenderings> RoleDescriptionRenderings(const std::string& oldDescription,
                                                         const std::string& newDescription)
{
    if (oldDescription == newDescription) {
        return std::nullopt;
    }
    CAuditValueRecord oldRecord(kOldValueTag);
    CAuditValueRecord newRecord(kNewValueTag);
    oldRecord.AddField("Description", oldDescription);
    newRecord.AddField("Description", newDescription);
    return AuditRenderings{oldRecord.Render(), newRecord.Render()};
}

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& text)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

// Members of before that are not in after, and of after that are not in
// before, each once and in list order.
void MemberChanges(const std::vector<std::string>& before, const std::vector<std::string>& after,
                   std::vector<std::string>& removed, std::vector<std::string>& added)
{
    for (const std::string& name : before) {
        if (!Contains(after, name) && !Contains(removed, name)) {
            removed.push_back(name);
        }
    }
    for (const std::string& name : after) {
        if (!Contains(before, name) && !Contains(added, name)) {
            added.push_back(name);
        }
    }
}

} // namespace

std::optional<AuditRenderings> RoleMembersRenderings(const std::vector<std::string>& oldUsers,
                                                     const std::vector<std::string>& oldGroups,
                                                     const std::vector<std::string>& newUsers,
                                                     const std::vector<std::string>& newGroups)
{
    std::vector<std::string> removedUsers, addedUsers, removedGroups, addedGroups;
    MemberChanges(oldUsers, newUsers, removedUsers, addedUsers);
    MemberChanges(oldGroups, newGroups, removedGroups, addedGroups);
    CAuditValueRecord oldRecord(kOldValueTag);
    CAuditValueRecord newRecord(kNewValueTag);
    oldRecord.AddList("MemberUsers", removedUsers);
    oldRecord.AddList("MemberGroups", removedGroups);
    newRecord.AddList("MemberUsers", addedUsers);
    newRecord.AddList("MemberGroups", addedGroups);
    AuditRenderings renderings{oldRecord.Render(), newRecord.Render()};
    // Tags differ, so compare what the records hold.
    if (oldRecord.Content() == newRecord.Content()) {
        return std::nullopt;
    }
    return renderings;
}

} // namespace zyr::audit
