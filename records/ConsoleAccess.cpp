#include "records/ConsoleAccess.h"

#include "cache/AccessRule.h"
#include "common/ConsoleObject.h"
#include "common/StringTable.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "records/ApplicationImport.h"
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
                    access.source = &object->ACL;
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
    std::vector<zyr::accessrule::AccessGrant> acl;
    acl.reserve(entries.size());
    for (const auto& entry : entries) {
        acl.push_back({std::string(entry.RoleName.view()), entry.Mask});
    }
    const auto hasMembers = [&](std::string_view role) {
        return std::any_of(members.begin(), members.end(), [&](const auto& member) {
            return member.second != 0 && EqualsNoCase(member.first, role);
        });
    };
    return zyr::accessrule::JudgeConsoleGuard(present ? &acl : nullptr, hasMembers,
                                              static_cast<uint32_t>(kOpenPermission));
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

bool PassesLockoutGuard(const std::function<void(ConsoleAccess&)>& change, const CKVTApplList* applications,
                        const CKVTRoleList* roles)
{
    applications = applications != nullptr ? applications : CurrentApplList();
    roles = roles != nullptr ? roles : CurrentRoleList();
    if (applications == nullptr || roles == nullptr) {
        return true;
    }
    const ConsoleAccess before = ConsoleAccess::Of(*applications, *roles);
    ConsoleAccess after = before;
    change(after);
    if (!WouldLockOut(before, after)) {
        return true;
    }
    zyr::ui::Ui().MessageBox(nullptr, kLockoutMessage, LoadStringAnsi(IDS_PROJNAME),
                             zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
    return false;
}

bool PassesDeleteLockoutGuard(const CKVTAppl& application, const CKVTSecGroup* group,
                              const CKVTApplSecObj* object)
{
    return !HoldsConsoleObject(application, group, object) ||
           PassesLockoutGuard([](ConsoleAccess& access) { access.ReplaceObject(false); });
}

bool ImportReplacesConsole(const std::string& path)
{
    return EqualsNoCase(ImportedApplicationName(path), kConsoleApplication);
}

bool PassesImportLockoutGuard(const std::string& path, const CKVTApplList* applications,
                              const CKVTRoleList* roles)
{
    return !ImportReplacesConsole(path) ||
           PassesLockoutGuard([](ConsoleAccess& access) { access.ReplaceObject(true); }, applications, roles);
}

bool WouldLockOut(const ConsoleAccess& before, const ConsoleAccess& after)
{
    return zyr::accessrule::WouldLockOut(before.Judge(), after.Judge());
}

} // namespace zyr::records
