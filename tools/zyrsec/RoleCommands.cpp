#include "tools/zyrsec/Commands.h"

#include "common/StringTable.h"
#include "platform/text/CodePage.h"
#include "signin/FindUser.h"
#include "tools/zyrsec/LockoutGuard.h"
#include "tools/zyrsec/Lookup.h"
#include "tools/zyrsec/Rendering.h"
#include "tools/zyrsec/TextTable.h"

#include <algorithm>
#include <optional>

namespace zyr::zyrsec {

using zyr::ui::MB_ICONERROR;
using zyr::ui::MB_OK;

namespace {

// Member names go into ";"-separated lists; a name holding ";" or a control
// character would break them.
bool IsUsableMemberName(const std::string& name)
{
    for (char c : name) {
        if (c == ';' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

int MemberCommand(Context& context, bool add)
{
    const Invocation& invocation = context.invocation;
    const bool user = invocation.Has("user");
    const std::string name = invocation.Option(user ? "user" : "group");
    if (name.empty()) {
        context.ui.MessageBox(nullptr, "Role Member Name must be specified", "ZYR Security", MB_OK);
        return kExitFailed;
    }
    if (!IsUsableMemberName(name) || name.size() > 255) {
        return Fail(context,
                    "A member name may not hold \";\" or control characters, nor be longer than 255.");
    }
    CKVTRoleList roles;
    CKVTRole* role = FetchRole(context, roles, invocation.arguments[0]);
    if (role == nullptr) {
        return kExitFailed;
    }
    const std::vector<std::string> oldUsers = MemberNames(*role, true);
    const std::vector<std::string> oldGroups = MemberNames(*role, false);
    std::vector<std::string> newUsers = oldUsers;
    std::vector<std::string> newGroups = oldGroups;
    std::vector<std::string>& members = user ? newUsers : newGroups;
    const auto same = [&](const std::string& member) { return zyr::text::EqualsNoCase(member, name); };
    const bool present = std::any_of(members.begin(), members.end(), same);
    const std::string kind = user ? "user" : "group";
    context.json.Set("role", role->CN.view());
    context.json.Set(kind, name);
    if (add && present) {
        Unchanged(context, "'" + name + "' is already a member of the role; nothing was sent.");
        return kExitSuccess;
    }
    if (!add && !present) {
        Unchanged(context, "'" + name + "' is not a member of the role; nothing was sent.");
        return kExitSuccess;
    }
    if (add) {
        // The members page puts a new member at the top of its list.
        members.insert(members.begin(), name);
    } else {
        members.erase(std::remove_if(members.begin(), members.end(), same), members.end());
    }
    std::optional<zyr::audit::AuditRenderings> renderings =
        zyr::audit::RoleMembersRenderings(oldUsers, oldGroups, newUsers, newGroups);
    if (!renderings) {
        Unchanged(context, "The members are unchanged; nothing was sent.");
        return kExitSuccess;
    }
    const size_t remaining = newUsers.size() + newGroups.size();
    if (!add && !PassesLockoutGuard(
                    context, [&](auto& access) { access.SetMemberCount(role->CN.view(), remaining); },
                    nullptr, &roles)) {
        return kExitFailed;
    }
    role->ClearMemberUsers();
    role->ClearMemberGroups();
    for (const auto& group : newGroups) {
        role->AddMemberGroup(group);
    }
    for (const auto& member : newUsers) {
        role->AddMemberUser(member);
    }
    role->AuditText = zyr::audit::MakeAuditText(*renderings);
    if (!role->Update()) {
        return kExitFailed;
    }
    Changed(context, std::string(add ? "Added " : "Removed ") + "the " + kind + " '" + name + "' " +
                         (add ? "to" : "from") + " the role '" + std::string(role->CN.view()) + "'.");
    return kExitSuccess;
}

} // namespace

int ListRoles(Context& context)
{
    CKVTRoleList roles;
    if (!FetchRoleList(context, roles)) {
        return kExitFailed;
    }
    Json array = Json::Array();
    TextTable table({"NAME", "ID", "USERS", "GROUPS", "DESCRIPTION"});
    for (const auto& role : roles.Roles()) {
        array.Push(RoleJson(*role));
        table.AddRow({std::string(role->CN.view()), std::string(role->DN.view()),
                      std::to_string(role->MemberUsers().size()), std::to_string(role->MemberGroups().size()),
                      std::string(role->Description.view())});
    }
    context.json.Set("roles", std::move(array));
    context.text = table.Render();
    return kExitSuccess;
}

int ShowRole(Context& context)
{
    CKVTRoleList roles;
    CKVTRole* role = FetchRole(context, roles, context.invocation.arguments[0]);
    if (role == nullptr) {
        return kExitFailed;
    }
    context.json.Set("role", RoleJson(*role));
    std::string text = RenderFields({{"Name", std::string(role->CN.view())},
                                     {"ID", std::string(role->DN.view())},
                                     {"Description", std::string(role->Description.view())}});
    TextTable members({"MEMBER", "KIND"}, "  ");
    for (const auto& name : MemberNames(*role, false)) {
        members.AddRow({name, "group"});
    }
    for (const auto& name : MemberNames(*role, true)) {
        members.AddRow({name, "user"});
    }
    context.text = text + "\nMembers\n" + members.Render();
    return kExitSuccess;
}

int FindUserRoles(Context& context)
{
    std::string domain;
    std::string user;
    if (!context.invocation.arguments.empty()) {
        const std::string& account = context.invocation.arguments[0];
        const size_t slash = account.find('\\');
        if (slash == std::string::npos) {
            user = account;
        } else {
            domain = account.substr(0, slash);
            user = account.substr(slash + 1);
        }
        if (domain.empty() && user.empty()) {
            return Fail(context, "Give the account as DOMAIN\\USER.");
        }
    }
    zyr::signin::FindUserAnswer answer = zyr::signin::GetRoles(domain, user);
    if (!answer.message.empty()) {
        context.ui.MessageBox(nullptr, answer.message, zyr::signin::kFindUserCaption, MB_OK | MB_ICONERROR);
        return kExitFailed;
    }
    context.json.Set("domain", domain);
    context.json.Set("user", user);
    context.json.Set("roles", Strings(answer.roles));
    std::string text = domain + "\\" + user + "\n" + answer.countText + "\n";
    for (const auto& role : answer.roles) {
        text += "  " + role + "\n";
    }
    context.text = text;
    return kExitSuccess;
}

int AddRole(Context& context)
{
    CKVTRoleList roles;
    return AddCommand(context, zyr::records::NewRecordKind::Role, zyr::records::kRoleExistsFormat, "role",
                      "role", [&](const std::string& name, const std::string& description) {
                          if (!FetchRoleList(context, roles)) {
                              return zyr::records::AddOutcome<CKVTRole>{};
                          }
                          return zyr::records::AddRole(roles, name, description);
                      });
}

int DescribeRole(Context& context)
{
    const auto& args = context.invocation.arguments;
    if (!CheckDescription(context, args[1])) {
        return kExitFailed;
    }
    CKVTRoleList roles;
    CKVTRole* role = FetchRole(context, roles, args[0]);
    if (role == nullptr) {
        return kExitFailed;
    }
    std::optional<zyr::audit::AuditRenderings> renderings =
        zyr::audit::RoleDescriptionRenderings(std::string(role->Description.view()), args[1]);
    if (!renderings) {
        Unchanged(context, "The description is unchanged; nothing was sent.");
        return kExitSuccess;
    }
    zyr::records::SetField(role->Description, args[1], "Description");
    role->AuditText = zyr::audit::MakeAuditText(*renderings);
    if (!role->Update()) {
        return kExitFailed;
    }
    Changed(context, "Changed the description of the role '" + std::string(role->CN.view()) + "'.");
    return kExitSuccess;
}

int DeleteRole(Context& context)
{
    CKVTRoleList roles;
    CKVTRole* role = FetchRole(context, roles, context.invocation.arguments[0]);
    if (role == nullptr) {
        return kExitFailed;
    }
    if (!PassesLockoutGuard(
            context, [&](auto& access) { access.DeleteRole(role->CN.view()); }, nullptr, &roles) ||
        !ConfirmDelete(context, zyr::records::kDeleteRoleFormat, role->CN.view())) {
        return kExitFailed;
    }
    // The server takes the role's entries out of every access-control list
    // with the role. The list is read back to make sure: an entry still
    // naming the role would grant its rights to a role made later under the
    // same name, so any that remain (an older server) are told.
    CKVTApplList list;
    const zyr::records::RoleDeletion deletion = zyr::records::DeleteRole(*role, &roles, [&]() {
        // The server took the role's entries out with it; without the list
        // nothing is left to tell (the failure to read it has been shown).
        return FetchApplicationList(context, list) ? &list : nullptr;
    });
    if (!deletion.deleted) {
        return kExitFailed;
    }
    const std::string& name = deletion.name;
    const size_t entries = deletion.entriesLeft;
    context.json.Set("acl_entries_naming_role", static_cast<unsigned long>(entries));
    Changed(context, "Deleted the role '" + name + "'." +
                         (entries == 0 ? std::string()
                                       : " " + std::to_string(entries) +
                                             " access-control entries still name it on the server."));
    return kExitSuccess;
}

int AddMember(Context& context)
{
    return MemberCommand(context, true);
}

int RemoveMember(Context& context)
{
    return MemberCommand(context, false);
}

} // namespace zyr::zyrsec
