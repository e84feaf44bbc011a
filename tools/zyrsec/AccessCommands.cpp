#include "tools/zyrsec/Commands.h"

#include "common/QueryEscape.h"
#include "common/StringTable.h"
#include "platform/text/CodePage.h"
#include "records/ChangeRules.h"
#include "tools/zyrsec/LockoutGuard.h"
#include "tools/zyrsec/Lookup.h"
#include "tools/zyrsec/Rendering.h"

namespace zyr::zyrsec {

using zyr::ui::MB_ICONINFORMATION;
using zyr::ui::MB_OK;

namespace {

std::vector<zyr::audit::PermissionText> PermissionTexts(const std::vector<PermissionEntry>& permissions)
{
    std::vector<zyr::audit::PermissionText> texts;
    for (const auto& permission : permissions) {
        texts.push_back({std::string(permission.Name.view()), std::string(permission.Value.view())});
    }
    return texts;
}

// --value 0xBITS of the permission commands: one free bit of the 31 offered.
bool ReadPermissionValue(Context& context, const CKVTAppl& application, uint32_t current, uint32_t& bits)
{
    const std::string text = context.invocation.Option("value");
    PermissionEntry probe("", text);
    bits = zyr::records::PermissionBits(probe);
    const std::string_view digits =
        text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? std::string_view(text).substr(2) : text;
    const bool hex = !digits.empty() && digits.size() <= 8 &&
                     digits.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
    if (!hex || (bits != current && !zyr::records::IsFreePermissionBit(application.Permissions, bits))) {
        Fail(context, "'" + text + "' is not a free permission bit of '" +
                          std::string(application.CN.view()) +
                          "' (one of 0x00000001 to 0x40000000 that no permission uses).");
        return false;
    }
    return true;
}

// The permissions page's name check: not empty, no reserved character, no
// other permission of that name (without regard to case).
bool CheckPermissionName(Context& context, const CKVTAppl& application, const std::string& name,
                         const PermissionEntry* except)
{
    if (name.empty()) {
        Fail(context, "The permission name is empty.");
        return false;
    }
    if (name.size() > 255) {
        ShowResource(context, zyr::IDS_ONLY_255_CHARACTERS, MB_OK);
        return false;
    }
    if (!IsValidNameText(name)) {
        return false;
    }
    for (const auto& permission : application.Permissions) {
        if (&permission != except && zyr::text::EqualsNoCase(permission.Name.view(), name)) {
            context.ui.MessageBox(nullptr,
                                  zyr::records::FormatWithName(zyr::records::kPermissionExistsFormat, name),
                                  Caption(), MB_OK | MB_ICONINFORMATION);
            return false;
        }
    }
    return true;
}

// The permissions page's apply: the audit text of the permissions that went
// and came, then the application's Update.
int ApplyPermissionPage(CKVTAppl& application, const std::vector<PermissionEntry>& before)
{
    application.AuditText = zyr::audit::MakeAuditText(zyr::audit::PermissionPageRenderings(
        PermissionTexts(before), PermissionTexts(application.Permissions)));
    return application.Update() ? kExitSuccess : kExitFailed;
}

int PermissionCommand(Context& context, const std::string& verb)
{
    const auto& args = context.invocation.arguments;
    CKVTApplList list;
    CKVTAppl* application = FetchApplication(context, list);
    if (application == nullptr) {
        return kExitFailed;
    }
    const std::vector<PermissionEntry> before = application->Permissions;
    std::string done;
    if (verb == "add") {
        uint32_t bits = zyr::records::FirstFreePermissionBit(application->Permissions);
        if (bits == 0) {
            ShowResource(context, zyr::IDS_MAX_32_PERMISSIONS, MB_ICONINFORMATION);
            return kExitFailed;
        }
        if (!CheckPermissionName(context, *application, args[1], nullptr)) {
            return kExitFailed;
        }
        if (context.invocation.Has("value") && !ReadPermissionValue(context, *application, 0, bits)) {
            return kExitFailed;
        }
        application->Permissions.emplace_back(args[1], zyr::records::PermissionValueText(bits));
        context.json.Set("permission", Named(args[1], application->Permissions.back().Value.view()));
        done = "Added the permission '" + args[1] + "' " + zyr::records::PermissionValueText(bits) + ".";
    } else {
        const PermissionEntry* found = zyr::records::FindPermissionByName(application->Permissions, args[1]);
        if (found == nullptr) {
            return Fail(context, "There is no permission '" + args[1] + "' in the application '" +
                                     std::string(application->CN.view()) + "'.");
        }
        const size_t index = static_cast<size_t>(found - application->Permissions.data());
        PermissionEntry& permission = application->Permissions[index];
        const std::string oldName(permission.Name.view());
        const uint32_t oldBits = zyr::records::PermissionBits(permission);
        if (verb == "rename") {
            uint32_t bits = oldBits;
            if (!CheckPermissionName(context, *application, args[2], &permission)) {
                return kExitFailed;
            }
            if (context.invocation.Has("value") &&
                !ReadPermissionValue(context, *application, oldBits, bits)) {
                return kExitFailed;
            }
            permission = PermissionEntry(args[2], zyr::records::PermissionValueText(bits));
            context.json.Set("permission", Named(args[2], permission.Value.view()));
            done = "Renamed the permission '" + oldName + "' to '" + args[2] + "' " +
                   zyr::records::PermissionValueText(bits) + ".";
        } else {
            // A bit still granted below the application would come back with the
            // next permission that takes it.
            if (zyr::records::IsGrantedInGroupsOrObjects(*application, oldBits) &&
                !AskYes(context, zyr::records::kGrantedPermissionQuestion,
                        zyr::records::kGrantedPermissionCaption)) {
                return kExitFailed;
            }
            application->Permissions.erase(application->Permissions.begin() + static_cast<long>(index));
            done = "Deleted the permission '" + oldName + "'.";
        }
    }
    const int status = ApplyPermissionPage(*application, before);
    if (status == kExitSuccess) {
        Changed(context, done);
    }
    return status;
}

int AccessCommand(Context& context, bool grant)
{
    const Invocation& invocation = context.invocation;
    CKVTApplList list;
    CKVTRoleList roles;
    Target target;
    if (!FetchOptionTarget(context, list, roles, target)) {
        return kExitFailed;
    }
    // The page offers the roles of the role list.
    const CKVTRole* role = FindRole(context, roles, invocation.arguments[0]);
    if (role == nullptr) {
        return kExitFailed;
    }
    const std::string roleName(role->CN.view());
    uint32_t bits = 0;
    Json names = Json::Array();
    const std::string& list_ = invocation.arguments[1];
    size_t at = 0;
    while (at <= list_.size()) {
        size_t end = list_.find(',', at);
        if (end == std::string::npos) {
            end = list_.size();
        }
        const std::string name = zyr::records::TrimWhiteSpace(std::string_view(list_).substr(at, end - at));
        at = end + 1;
        if (name.empty()) {
            continue;
        }
        const PermissionEntry* permission =
            zyr::records::FindPermissionByName(target.application->Permissions, name);
        if (permission == nullptr) {
            return Fail(context, "There is no permission '" + name + "' in the application '" +
                                     std::string(target.application->CN.view()) + "'.");
        }
        bits |= zyr::records::PermissionBits(*permission);
        names.Push(permission->Name.view());
    }
    if (bits == 0) {
        return Fail(context, "No permission given.");
    }
    auto apply = [&](auto& record) {
        const uint32_t oldMask = zyr::records::RoleMask(record.ACL, roleName);
        const uint32_t newMask = grant ? (oldMask | bits) : (oldMask & ~bits);
        context.json.Set("role", roleName);
        context.json.Set("old_mask", static_cast<unsigned long>(oldMask));
        context.json.Set("new_mask", static_cast<unsigned long>(newMask));
        if (oldMask == newMask) {
            Unchanged(context, "The role '" + roleName + "' already " + (grant ? "holds" : "lacks") +
                                   " these permissions; nothing was sent.");
            return kExitSuccess;
        }
        const bool consoleObject =
            zyr::records::HoldsConsoleObject(*target.application, target.group, target.object) &&
            target.object != nullptr;
        if (consoleObject &&
            !PassesLockoutGuard(
                context, [&](auto& access) { access.SetMask(roleName, newMask); }, &list, &roles)) {
            return kExitFailed;
        }
        zyr::records::SetRoleMask(record.ACL, roleName, newMask);
        const int status =
            ApplyAccessPage(record, *target.application, std::string(record.Description.view()),
                            {{roleName, oldMask, newMask}});
        if (status == kExitSuccess) {
            Changed(context,
                    std::string(grant ? "Granted " : "Revoked ") + "on '" + std::string(record.CN.view()) +
                        "': " + roleName + ": " +
                        zyr::records::GrantedPermissionNames(target.application->Permissions, newMask));
        }
        return status;
    };
    if (target.object != nullptr) {
        // The object page has no qualifier controls: its every apply sends UseQ 0.
        target.object->UseQ = 0;
    }
    return ApplyToDeepest(target, apply);
}

} // namespace

std::vector<zyr::audit::PermissionItem> PermissionItems(const CKVTAppl& application)
{
    std::vector<zyr::audit::PermissionItem> items;
    for (const auto& permission : application.Permissions) {
        items.push_back({std::string(permission.Name.view()), zyr::records::PermissionBits(permission)});
    }
    return items;
}

int AddPermission(Context& context)
{
    return PermissionCommand(context, "add");
}

int RenamePermission(Context& context)
{
    return PermissionCommand(context, "rename");
}

int DeletePermission(Context& context)
{
    return PermissionCommand(context, "delete");
}

int GrantAccess(Context& context)
{
    return AccessCommand(context, true);
}

int RevokeAccess(Context& context)
{
    return AccessCommand(context, false);
}

} // namespace zyr::zyrsec
