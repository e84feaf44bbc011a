#include "tools/zyrsec/Commands.h"

#include "records/ApplicationImport.h"
#include "tools/zyrsec/LockoutGuard.h"
#include "tools/zyrsec/Lookup.h"
#include "tools/zyrsec/Rendering.h"
#include "tools/zyrsec/TextTable.h"

#include <fstream>

namespace zyr::zyrsec {

namespace {

int Describe(Context& context, size_t depth)
{
    const auto& args = context.invocation.arguments;
    const std::string& description = args[depth + 1];
    if (!CheckDescription(context, description)) {
        return kExitFailed;
    }
    CKVTApplList list;
    Target target;
    if (!FetchTarget(context, list, depth, target)) {
        return kExitFailed;
    }
    auto apply = [&](auto& record) {
        if (record.Description.view() == description) {
            Unchanged(context, "The description is unchanged; nothing was sent.");
            return kExitSuccess;
        }
        int status = ApplyAccessPage(record, *target.application, description, {});
        if (status == kExitSuccess) {
            Changed(context, "Changed the description of '" + std::string(record.CN.view()) + "'.");
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

int ShowTree(Context& context)
{
    CKVTApplList list;
    CKVTRoleList roles;
    if (!FetchApplicationList(context, list) || !FetchRoleList(context, roles)) {
        return kExitFailed;
    }
    Json applications = Json::Array();
    std::string text = "Applications\n";
    for (const auto& application : list.Applications) {
        applications.Push(ApplicationJson(*application));
        text +=
            "  " + std::string(application->CN.view()) + "  " + std::string(application->DN.view()) + "\n";
        for (const auto& group : application->Groups) {
            text += "    " + std::string(group->CN.view()) + "  " + std::string(group->DN.view()) + "\n";
            for (const auto& object : group->Objects) {
                text +=
                    "      " + std::string(object->CN.view()) + "  " + std::string(object->DN.view()) + "\n";
            }
        }
    }
    text += "Roles\n";
    Json roleArray = Json::Array();
    for (const auto& role : roles.Roles()) {
        roleArray.Push(RoleJson(*role));
        text += "  " + std::string(role->CN.view()) + "  " + std::string(role->DN.view()) + "\n";
    }
    context.json.Set("applications", std::move(applications));
    context.json.Set("roles", std::move(roleArray));
    context.text = text;
    return kExitSuccess;
}

int ListApplications(Context& context)
{
    CKVTApplList list;
    if (!FetchApplicationList(context, list)) {
        return kExitFailed;
    }
    Json applications = Json::Array();
    TextTable table({"NAME", "ID", "GROUPS", "DESCRIPTION"});
    for (const auto& application : list.Applications) {
        Json item = Json::Object();
        item.Set("name", application->CN.view());
        item.Set("id", application->DN.view());
        item.Set("description", application->Description.view());
        item.Set("groups", static_cast<unsigned long>(application->Groups.size()));
        applications.Push(std::move(item));
        table.AddRow({std::string(application->CN.view()), std::string(application->DN.view()),
                      std::to_string(application->Groups.size()),
                      std::string(application->Description.view())});
    }
    context.json.Set("applications", std::move(applications));
    context.text = table.Render();
    return kExitSuccess;
}

int ShowApplication(Context& context)
{
    CKVTApplList list;
    const CKVTAppl* application = FetchApplication(context, list);
    if (application == nullptr) {
        return kExitFailed;
    }
    context.json.Set("application", ApplicationJson(*application));
    context.text = ApplicationText(*application);
    return kExitSuccess;
}

int AddApplication(Context& context)
{
    CKVTApplList list;
    return AddCommand(context, zyr::records::NewRecordKind::Application,
                      zyr::records::kApplicationExistsFormat, "application", "application",
                      [&](const std::string& name, const std::string& description) {
                          if (!FetchApplicationList(context, list)) {
                              return zyr::records::AddOutcome<CKVTAppl>{};
                          }
                          return zyr::records::AddApplication(list, name, description);
                      });
}

int DeleteTarget(Context& context, size_t depth, const char* questionFormat, const std::string& what)
{
    CKVTApplList list;
    Target target;
    if (!FetchTarget(context, list, depth, target)) {
        return kExitFailed;
    }
    // Deleting the console object, or the group or application that holds
    // it, leaves it to nobody.
    if (zyr::records::HoldsConsoleObject(*target.application, target.group, target.object) &&
        !PassesLockoutGuard(
            context, [](auto& access) { access.ReplaceObject(false); }, &list)) {
        return kExitFailed;
    }
    std::string name;
    const int status = ApplyToDeepest(target, [&](auto& record) {
        name = std::string(record.CN.view());
        return ConfirmDelete(context, questionFormat, name) && record.Delete() ? kExitSuccess : kExitFailed;
    });
    if (status == kExitSuccess) {
        Changed(context, "Deleted the " + what + " '" + name + "'.");
    }
    return status;
}

int DeleteApplication(Context& context)
{
    return DeleteTarget(context, 0, zyr::records::kDeleteApplicationFormat, "application");
}

int ExportApplication(Context& context)
{
    const auto& args = context.invocation.arguments;
    CKVTApplList list;
    CKVTAppl* application = FetchApplication(context, list);
    if (application == nullptr) {
        return kExitFailed;
    }
    if (FAILED(application->ExportToFile(args[1]))) {
        return Fail(context, "The export file '" + args[1] + "' could not be written.");
    }
    context.json.Set("application", Named(std::string(application->CN.view()), application->DN.view()));
    context.json.Set("file", args[1]);
    context.text =
        "Exported the application '" + std::string(application->CN.view()) + "' to " + args[1] + ".\n";
    return kExitSuccess;
}

int ImportApplication(Context& context)
{
    if (context.invocation.Has("dry-run")) {
        return PreviewImport(context);
    }
    const std::string& path = context.invocation.arguments[0];
    if (!std::ifstream(path, std::ios::binary)) {
        return Fail(context, "The file '" + path + "' cannot be read.");
    }
    CKVTApplList list;
    if (!FetchApplicationList(context, list)) {
        return kExitFailed;
    }
    // An import over the console's own application would take its grants.
    if (zyr::records::ImportReplacesConsole(path) &&
        !PassesLockoutGuard(
            context, [](auto& access) { access.ReplaceObject(true); }, &list)) {
        return kExitFailed;
    }
    CKVTAppl* added = nullptr;
    if (FAILED(zyr::records::ImportApplicationFile(list, path, &added))) {
        return Fail(context, "The security server did not import '" + path + "'.");
    }
    if (added == nullptr) {
        return kExitFailed;
    }
    context.json.Set("application", Named(std::string(added->CN.view()), added->DN.view()));
    Changed(context, "Imported the application '" + std::string(added->CN.view()) + "' " +
                         std::string(added->DN.view()) + ".");
    return kExitSuccess;
}

int DescribeApplication(Context& context)
{
    return Describe(context, 0);
}

int DescribeGroup(Context& context)
{
    return Describe(context, 1);
}

int DescribeObject(Context& context)
{
    return Describe(context, 2);
}

} // namespace zyr::zyrsec
