#include "tools/zyrsec/Rendering.h"

#include "records/AclEditing.h"
#include "tools/zyrsec/TextTable.h"

namespace zyr::zyrsec {

namespace {

// The first members of a record's object: its name, identity and description.
template <typename Record>
Json NameIdDescription(const Record& record)
{
    Json out = Json::Object();
    out.Set("name", record.CN.view());
    out.Set("id", record.DN.view());
    out.Set("description", record.Description.view());
    return out;
}

} // namespace

Json AclJson(const std::vector<AccessEntry>& acl, const CKVTAppl& application)
{
    Json out = Json::Array();
    for (const auto& entry : acl) {
        Json item = Json::Object();
        item.Set("role", entry.RoleName.view());
        item.Set("mask", static_cast<unsigned long>(entry.Mask));
        Json names = Json::Array();
        for (const auto& permission : application.Permissions) {
            if ((zyr::records::PermissionBits(permission) & entry.Mask) != 0) {
                names.Push(permission.Name.view());
            }
        }
        item.Set("permissions", std::move(names));
        out.Push(std::move(item));
    }
    return out;
}

std::string AclText(const std::vector<AccessEntry>& acl, const CKVTAppl& application)
{
    std::string text;
    for (const auto& entry : acl) {
        if (!text.empty()) {
            text += "; ";
        }
        text += std::string(entry.RoleName.view()) + ": " +
                zyr::records::GrantedPermissionNames(application.Permissions, entry.Mask);
    }
    return text;
}

Json ObjectJson(const CKVTApplSecObj& object, const CKVTAppl& application)
{
    Json out = NameIdDescription(object);
    out.Set("acl", AclJson(object.ACL, application));
    return out;
}

Json GroupJson(const CKVTSecGroup& group, const CKVTAppl& application)
{
    Json out = NameIdDescription(group);
    out.Set("acl", AclJson(group.ACL, application));
    Json objects = Json::Array();
    for (const auto& object : group.Objects) {
        objects.Push(ObjectJson(*object, application));
    }
    out.Set("objects", std::move(objects));
    return out;
}

Json ApplicationJson(const CKVTAppl& application)
{
    Json out = NameIdDescription(application);
    Json permissions = Json::Array();
    for (const auto& permission : application.Permissions) {
        Json item = Json::Object();
        item.Set("name", permission.Name.view());
        item.Set("value", permission.Value.view());
        permissions.Push(std::move(item));
    }
    out.Set("permissions", std::move(permissions));
    out.Set("acl", AclJson(application.ACL, application));
    Json groups = Json::Array();
    for (const auto& group : application.Groups) {
        groups.Push(GroupJson(*group, application));
    }
    out.Set("groups", std::move(groups));
    return out;
}

std::string ApplicationText(const CKVTAppl& application)
{
    std::string text = RenderFields({{"Name", std::string(application.CN.view())},
                                     {"ID", std::string(application.DN.view())},
                                     {"Description", std::string(application.Description.view())},
                                     {"Access", AclText(application.ACL, application)}});
    TextTable permissions({"PERMISSION", "VALUE"}, "  ");
    for (const auto& permission : application.Permissions) {
        permissions.AddRow({std::string(permission.Name.view()), std::string(permission.Value.view())});
    }
    text += "\nPermissions\n" + permissions.Render();
    text += "\nGroups\n";
    for (const auto& group : application.Groups) {
        text += "  " + std::string(group->CN.view()) + "  " + std::string(group->DN.view()) + "\n";
        text += RenderFields({{"Description", std::string(group->Description.view())},
                              {"Access", AclText(group->ACL, application)}},
                             "    ");
        if (!group->Objects.empty()) {
            TextTable objects({"OBJECT", "ID", "ACCESS", "DESCRIPTION"}, "    ");
            for (const auto& object : group->Objects) {
                objects.AddRow({std::string(object->CN.view()), std::string(object->DN.view()),
                                AclText(object->ACL, application), std::string(object->Description.view())});
            }
            text += objects.Render();
        }
    }
    return text;
}

std::vector<std::string> MemberNames(const CKVTRole& role, bool users)
{
    std::vector<std::string> names;
    if (users) {
        for (const auto& member : role.MemberUsers()) {
            names.emplace_back(member->Name.view());
        }
    } else {
        for (const auto& member : role.MemberGroups()) {
            names.emplace_back(member->Name.view());
        }
    }
    return names;
}

Json Strings(const std::vector<std::string>& texts)
{
    Json out = Json::Array();
    for (const auto& text : texts) {
        out.Push(text);
    }
    return out;
}

Json RoleJson(const CKVTRole& role)
{
    Json out = NameIdDescription(role);
    out.Set("users", Strings(MemberNames(role, true)));
    out.Set("groups", Strings(MemberNames(role, false)));
    return out;
}

Json Named(const std::string& name, std::string_view id)
{
    Json out = Json::Object();
    out.Set("name", name);
    out.Set("id", id);
    return out;
}

void WriteJson(std::FILE* out, const Json& json)
{
    std::fprintf(out, "%s\n", json.Dump().c_str());
}

Json FailureJson(int status, const std::vector<std::string>& messages)
{
    Json json = Json::Object();
    json.Set("ok", false);
    json.Set("exit", status);
    json.Set("messages", Strings(messages));
    return json;
}

} // namespace zyr::zyrsec
