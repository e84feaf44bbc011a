// Finding records by the names given on the command line; a name not found
// is the tool's own refusal, shown before null or false is answered.
#pragma once

#include "records/Application.h"
#include "roles/RoleList.h"
#include "tools/zyrsec/CommandContext.h"

#include <cstddef>
#include <string>

namespace zyr::zyrsec {

CKVTAppl* FindApplication(Context& context, CKVTApplList& list, const std::string& name);
CKVTSecGroup* FindGroup(Context& context, CKVTAppl& application, const std::string& name);
CKVTApplSecObj* FindObject(Context& context, CKVTSecGroup& group, const std::string& name);
CKVTRole* FindRole(Context& context, CKVTRoleList& roles, const std::string& name);

// The application list fetched into list, and the application that the
// command's first argument names in it.
CKVTAppl* FetchApplication(Context& context, CKVTApplList& list);
// The role list fetched into roles, and the role of that name in it.
CKVTRole* FetchRole(Context& context, CKVTRoleList& roles, const std::string& name);

// The application, group and object named APP [GROUP [OBJECT]].
struct Target {
    CKVTAppl* application = nullptr;
    CKVTSecGroup* group = nullptr;
    CKVTApplSecObj* object = nullptr;
};

// Fills target down to the object when object is given, to the group when
// group is given; false after the refusal of a name not found.
bool FindTarget(Context& context, CKVTApplList& list, const std::string& app, const std::string* group,
                const std::string* object, Target& target);
// Both lists fetched, and the target of the options --app A [--group G
// [--object O]] in the application list.
bool FetchOptionTarget(Context& context, CKVTApplList& list, CKVTRoleList& roles, Target& target);
// The application list fetched into list, and the target named by the
// command's first arguments: APP, then GROUP from depth 1, OBJECT from 2.
bool FetchTarget(Context& context, CKVTApplList& list, size_t depth, Target& target);

// Runs apply on the deepest record of target and answers what it answers.
template <typename Apply>
int ApplyToDeepest(Target& target, Apply&& apply)
{
    if (target.object != nullptr) {
        return apply(*target.object);
    }
    if (target.group != nullptr) {
        return apply(*target.group);
    }
    return apply(*target.application);
}

} // namespace zyr::zyrsec
