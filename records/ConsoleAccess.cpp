#include "records/ConsoleAccess.h"

#include "common/ConsoleObject.h"
#include "platform/text/CodePage.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "records/SecureGroup.h"
#include "roles/Role.h"
#include "roles/RoleList.h"

#include <algorithm>

namespace zyr::records {

using zyr::text::EqualsNoCase;

bool HoldsConsoleObject(const CKVTAppl& application, const CKVTSecGroup* group, const CKVTApplSecObj* object)
{
    return EqualsNoCase(application.CN.view(), kConsoleApplication) &&
           (group == nullptr || EqualsNoCase(group->CN.view(), kConsoleGroup)) &&
           (object == nullptr || EqualsNoCase(object->CN.view(), kConsoleObject));
}

ConsoleAccess ConsoleAccess::Of(const CKVTApplList& applications, const CKVTRoleList& roles)
{
    ConsoleAccess access;
    for (const auto& application : applications.Applications) {
        if (!HoldsConsoleObject(*application)) {
            continue;
        }
        for (const auto& group : application->Groups) {
            for (const auto& object : group->Objects) {
                if (!access.present && HoldsConsoleObject(*application, group.get(), object.get())) {
                    access.present = true;
                    access.entries = object->ACL;
                }
            }
        }
    }
    for (const auto& role : roles.Roles()) {
        access.members.emplace_back(std::string(role->CN.view()),
                                    role->MemberUsers().size() + role->MemberGroups().size());
    }
    return access;
}

ConsoleAccess::State ConsoleAccess::Judge() const
{
    if (!present || entries.empty()) {
        return State::NotSecured;
    }
    for (const auto& entry : entries) {
        if ((entry.Mask & static_cast<uint32_t>(kOpenPermission)) == 0) {
            continue;
        }
        for (const auto& [role, count] : members) {
            if (count != 0 && EqualsNoCase(role, entry.RoleName.view())) {
                return State::Granted;
            }
        }
    }
    return State::LockedOut;
}

void ConsoleAccess::DeleteRole(std::string_view role)
{
    std::erase_if(members, [&](const auto& member) { return EqualsNoCase(member.first, role); });
    std::erase_if(entries,
                  [&](const AccessEntry& entry) { return EqualsNoCase(entry.RoleName.view(), role); });
}

void ConsoleAccess::SetMemberCount(std::string_view role, size_t count)
{
    for (auto& member : members) {
        if (EqualsNoCase(member.first, role)) {
            member.second = count;
            return;
        }
    }
    members.emplace_back(std::string(role), count);
}

void ConsoleAccess::SetMask(std::string_view role, uint32_t mask)
{
    SetRoleMask(entries, role, mask);
}

void ConsoleAccess::ReplaceObject(bool isPresent, std::vector<AccessEntry> replacement)
{
    present = isPresent;
    entries = isPresent ? std::move(replacement) : std::vector<AccessEntry>{};
}

bool WouldLockOut(const ConsoleAccess& before, const ConsoleAccess& after)
{
    using State = ConsoleAccess::State;
    const State was = before.Judge();
    const State becomes = after.Judge();
    return (becomes == State::LockedOut && was != State::LockedOut) ||
           (was == State::Granted && becomes == State::NotSecured);
}

} // namespace zyr::records
