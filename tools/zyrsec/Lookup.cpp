#include "tools/zyrsec/Lookup.h"

namespace zyr::zyrsec {

namespace {

// record, or null after the refusal.
template <typename Record>
Record* Found(Context& context, Record* record, const std::string& refusal)
{
    if (record == nullptr) {
        Fail(context, refusal);
    }
    return record;
}

} // namespace

CKVTAppl* FindApplication(Context& context, CKVTApplList& list, const std::string& name)
{
    return Found(context, list.FindByNameOrDN(name), "There is no application '" + name + "'.");
}

CKVTSecGroup* FindGroup(Context& context, CKVTAppl& application, const std::string& name)
{
    return Found(context, zyr::records::FindGroupByName(application, name),
                 "There is no secure group '" + name + "' in the application '" +
                     std::string(application.CN.view()) + "'.");
}

CKVTApplSecObj* FindObject(Context& context, CKVTSecGroup& group, const std::string& name)
{
    return Found(context, zyr::records::FindObjectByName(group, name),
                 "There is no securable object '" + name + "' in the secure group '" +
                     std::string(group.CN.view()) + "'.");
}

CKVTRole* FindRole(Context& context, CKVTRoleList& roles, const std::string& name)
{
    return Found(context, roles.FindByName(name), "There is no role '" + name + "'.");
}

CKVTAppl* FetchApplication(Context& context, CKVTApplList& list)
{
    if (!FetchApplicationList(context, list)) {
        return nullptr;
    }
    return FindApplication(context, list, context.invocation.arguments[0]);
}

CKVTRole* FetchRole(Context& context, CKVTRoleList& roles, const std::string& name)
{
    if (!FetchRoleList(context, roles)) {
        return nullptr;
    }
    return FindRole(context, roles, name);
}

bool FindTarget(Context& context, CKVTApplList& list, const std::string& app, const std::string* group,
                const std::string* object, Target& target)
{
    target.application = FindApplication(context, list, app);
    if (target.application == nullptr) {
        return false;
    }
    if (group != nullptr) {
        target.group = FindGroup(context, *target.application, *group);
        if (target.group == nullptr) {
            return false;
        }
    }
    if (object != nullptr) {
        target.object = FindObject(context, *target.group, *object);
        if (target.object == nullptr) {
            return false;
        }
    }
    return true;
}

bool FetchOptionTarget(Context& context, CKVTApplList& list, CKVTRoleList& roles, Target& target)
{
    if (!FetchApplicationList(context, list) || !FetchRoleList(context, roles)) {
        return false;
    }
    const Invocation& invocation = context.invocation;
    const std::string groupName = invocation.Option("group");
    const std::string objectName = invocation.Option("object");
    return FindTarget(context, list, invocation.Option("app"), invocation.Has("group") ? &groupName : nullptr,
                      invocation.Has("object") ? &objectName : nullptr, target);
}

bool FetchTarget(Context& context, CKVTApplList& list, size_t depth, Target& target)
{
    const auto& args = context.invocation.arguments;
    if (!FetchApplicationList(context, list)) {
        return false;
    }
    return FindTarget(context, list, args[0], depth >= 1 ? &args[1] : nullptr,
                      depth >= 2 ? &args[2] : nullptr, target);
}

} // namespace zyr::zyrsec
