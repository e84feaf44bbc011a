#include "records/ChangeFlows.h"

#include "common/StringTable.h"
#include "platform/ui/UiService.h"
#include "records/AclEditing.h"
#include "records/ChangeRules.h"

#include <memory>

namespace zyr::records {

AddOutcome<CKVTRole> AddRole(CKVTRoleList& roles, std::string_view name, std::string_view description)
{
    if (const CKVTRole* existing = roles.FindByName(name)) {
        return {nullptr, existing};
    }
    auto role = std::make_unique<CKVTRole>(name, description);
    if (!role->Add()) {
        ui::Ui().MessageBox(nullptr, LoadStringAnsi(IDS_ADD_ROLE_FAILED), LoadStringAnsi(IDS_PROJNAME),
                            ui::MB_OK | ui::MB_ICONERROR);
        return {};
    }
    return {&roles.Append(std::move(role)), nullptr};
}

AddOutcome<CKVTAppl> AddApplication(CKVTApplList& list, std::string_view name, std::string_view description)
{
    if (const CKVTAppl* existing = list.FindByNameOrDN(name)) {
        return {nullptr, existing};
    }
    auto application = std::make_unique<CKVTAppl>(name, description, true);
    if (!application->Add()) {
        return {};
    }
    return {&list.Append(std::move(application)), nullptr};
}

AddOutcome<CKVTSecGroup> AddGroup(CKVTAppl& application, std::string_view name, std::string_view description)
{
    if (const CKVTSecGroup* existing = FindGroupByName(application, name)) {
        return {nullptr, existing};
    }
    auto group =
        std::make_unique<CKVTSecGroup>(name, application.CN.view(), application.DN.view(), description);
    if (!group->Add()) {
        return {};
    }
    return {application.Groups.emplace_back(std::move(group)).get(), nullptr};
}

AddOutcome<CKVTApplSecObj> AddObject(CKVTSecGroup& group, std::string_view name, std::string_view description)
{
    if (const CKVTApplSecObj* existing = FindObjectByName(group, name)) {
        return {nullptr, existing};
    }
    auto object = std::make_unique<CKVTApplSecObj>(name, group.DN.view(), group.ApplDN.view(), description);
    if (!object->Add()) {
        return {};
    }
    return {group.Objects.emplace_back(std::move(object)).get(), nullptr};
}

RoleDeletion DeleteRole(CKVTRole& role, CKVTRoleList* roles,
                        const std::function<CKVTApplList*()>& applications)
{
    RoleDeletion deletion;
    deletion.name = std::string(role.CN.view());
    {
        ui::WaitCursor wait;
        deletion.deleted = role.Delete();
    }
    if (!deletion.deleted) {
        return deletion;
    }
    ui::WaitCursor wait;
    if (roles != nullptr) {
        roles->Remove(&role);
    }
    if (CKVTApplList* list = applications ? applications() : nullptr) {
        deletion.entriesLeft = RemoveRoleFromApplications(*list, deletion.name);
    }
    return deletion;
}

} // namespace zyr::records
