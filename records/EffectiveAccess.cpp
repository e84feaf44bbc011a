#include "records/EffectiveAccess.h"

#include "common/ConsoleObject.h"
#include "platform/text/CodePage.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "records/ConsoleAccess.h"
#include "records/SecureGroup.h"
#include "roles/Role.h"
#include "roles/RoleList.h"

#include <algorithm>

namespace zyr::records {

using zyr::text::EqualsNoCase;

const char* const kGrantsWhereStoredNote =
    "Grants are shown on the application, group or object whose access-control list holds them; "
    "a grant on an application or group is not passed down to its groups or objects.";

namespace {

zyr::accessrule::CachedRole CachedFrom(const CKVTRole& role)
{
    zyr::accessrule::CachedRole cached;
    cached.dn = std::string(role.DN.view());
    cached.name = std::string(role.CN.view());
    for (const auto& user : role.MemberUsers()) {
        cached.memberUsers.emplace_back(user->Name.view());
    }
    for (const auto& group : role.MemberGroups()) {
        cached.memberGroups.emplace_back(group->Name.view());
    }
    return cached;
}

bool Contains(const std::vector<std::string>& names, std::string_view name)
{
    return std::any_of(names.begin(), names.end(), [&](const auto& n) { return EqualsNoCase(n, name); });
}

void AddPlace(std::vector<PlaceAccess>& out, AccessPlace place, const std::vector<AccessEntry>& acl,
              const CKVTAppl& application, const std::vector<std::string>& held)
{
    PlaceAccess access;
    access.permissions = GrantedPermissions(acl, application, &held);
    if (access.permissions.empty()) {
        return;
    }
    for (const auto& permission : access.permissions) {
        access.mask |= permission.bits;
    }
    access.place = std::move(place);
    out.push_back(std::move(access));
}

} // namespace

std::vector<HeldRole> RolesOfAccount(const CKVTRoleList& roles,
                                     const zyr::accessrule::AccountIdentity& account,
                                     std::string_view computerName)
{
    using Kind = zyr::accessrule::RoleMatch::Kind;
    std::vector<HeldRole> held;
    for (const auto& role : roles.Roles()) {
        const zyr::accessrule::RoleMatch match =
            zyr::accessrule::MatchRole(CachedFrom(*role), account, computerName);
        if (match.kind == Kind::None) {
            continue;
        }
        const char* how = match.kind == Kind::User ? "user " : match.kind == Kind::Group ? "group " : "";
        held.push_back({std::string(role->CN.view()),
                        match.kind == Kind::Everyone ? std::string("Everyone") : how + match.member});
    }
    return held;
}

std::string AccessPlace::Kind() const
{
    return !object.empty() ? "object" : !group.empty() ? "group" : "application";
}

std::string AccessPlace::Path() const
{
    std::string path = application;
    for (const std::string* part : {&group, &object}) {
        if (!part->empty()) {
            path += " / " + *part;
        }
    }
    return path;
}

std::vector<GrantedPermission> GrantedPermissions(const std::vector<AccessEntry>& acl,
                                                  const CKVTAppl& application,
                                                  const std::vector<std::string>* only)
{
    std::vector<GrantedPermission> granted;
    uint32_t named = 0;
    auto rolesGranting = [&](uint32_t bits) {
        std::vector<std::string> roles;
        for (const auto& entry : acl) {
            const std::string role(entry.RoleName.view());
            if ((entry.Mask & bits) == bits && (only == nullptr || Contains(*only, role)) &&
                !Contains(roles, role)) {
                roles.push_back(role);
            }
        }
        return roles;
    };
    for (const auto& permission : application.Permissions) {
        const uint32_t bits = PermissionBits(permission);
        named |= bits;
        if (bits == 0) {
            continue;
        }
        auto roles = rolesGranting(bits);
        if (!roles.empty()) {
            granted.push_back({std::string(permission.Name.view()), bits, std::move(roles)});
        }
    }
    for (int bit = 0; bit < 32; ++bit) {
        const uint32_t bits = 1u << bit;
        if ((named & bits) != 0) {
            continue;
        }
        auto roles = rolesGranting(bits);
        if (!roles.empty()) {
            granted.push_back({PermissionValueText(bits), bits, std::move(roles)});
        }
    }
    return granted;
}

std::vector<PlaceAccess> EffectiveAccess(const CKVTApplList& list, const std::vector<HeldRole>& held,
                                         std::string_view application)
{
    std::vector<std::string> names;
    for (const auto& role : held) {
        names.push_back(role.role);
    }
    std::vector<PlaceAccess> out;
    for (const auto& a : list.Applications) {
        if (!application.empty() && !EqualsNoCase(a->CN.view(), application)) {
            continue;
        }
        const std::string appName(a->CN.view());
        AddPlace(out, {appName, "", ""}, a->ACL, *a, names);
        for (const auto& g : a->Groups) {
            const std::string groupName(g->CN.view());
            AddPlace(out, {appName, groupName, ""}, g->ACL, *a, names);
            for (const auto& o : g->Objects) {
                AddPlace(out, {appName, groupName, std::string(o->CN.view())}, o->ACL, *a, names);
            }
        }
    }
    return out;
}

std::vector<PermissionHolder> WhoCan(const std::vector<AccessEntry>& acl, uint32_t bits,
                                     const CKVTRoleList& roles)
{
    std::vector<PermissionHolder> holders;
    if (bits == 0) {
        return holders;
    }
    for (const auto& entry : acl) {
        if ((entry.Mask & bits) != bits) {
            continue;
        }
        PermissionHolder holder;
        holder.role = std::string(entry.RoleName.view());
        holder.mask = entry.Mask;
        if (const CKVTRole* role = roles.FindByName(holder.role)) {
            holder.known = true;
            holder.role = std::string(role->CN.view());
            for (const auto& user : role->MemberUsers()) {
                holder.users.emplace_back(user->Name.view());
            }
            for (const auto& group : role->MemberGroups()) {
                holder.groups.emplace_back(group->Name.view());
            }
        }
        holders.push_back(std::move(holder));
    }
    return holders;
}

std::vector<PermissionHolder> ConsoleOpeners(const CKVTApplList& list, const CKVTRoleList& roles)
{
    const ConsoleAccess access = ConsoleAccess::Of(list, roles);
    if (access.Judge() == ConsoleAccess::State::NotSecured) {
        return {};
    }
    return WhoCan(access.entries, static_cast<uint32_t>(kOpenPermission), roles);
}

} // namespace zyr::records
