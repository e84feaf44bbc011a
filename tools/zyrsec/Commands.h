// The commands of zyrsec, one file a noun: applications; permissions and
// access lists; groups and objects; roles and members; logs; audit and
// compliance. Each answers the exit status and fills the context's answer;
// the command table (CommandTable.cpp) names them beside their syntax and
// help.
#pragma once

#include "audit/AuditTexts.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "records/ChangeFlows.h"
#include "tools/zyrsec/CommandContext.h"
#include "tools/zyrsec/Rendering.h"

#include <string>
#include <vector>

namespace zyr::zyrsec {

// Applications (ApplicationCommands.cpp).
int ShowTree(Context& context);
int ListApplications(Context& context);
int ShowApplication(Context& context);
int AddApplication(Context& context);
int DeleteApplication(Context& context);
int ExportApplication(Context& context);
int ImportApplication(Context& context);
// The description of an application, a group or an object.
int DescribeApplication(Context& context);
int DescribeGroup(Context& context);
int DescribeObject(Context& context);

// Permissions and access lists (AccessCommands.cpp).
int AddPermission(Context& context);
int RenamePermission(Context& context);
int DeletePermission(Context& context);
int GrantAccess(Context& context);
int RevokeAccess(Context& context);

// Groups and objects (GroupCommands.cpp).
int AddGroup(Context& context);
int DeleteGroup(Context& context);
int AddObject(Context& context);
int DeleteObject(Context& context);

// Roles and members (RoleCommands.cpp).
int ListRoles(Context& context);
int ShowRole(Context& context);
int AddRole(Context& context);
int DescribeRole(Context& context);
int DeleteRole(Context& context);
int AddMember(Context& context);
int RemoveMember(Context& context);
int FindUserRoles(Context& context);

// Logs (LogCommands.cpp).
int ShowLogs(Context& context);
int DeleteLogs(Context& context);

// Audit and compliance (AuditCommands.cpp).
int ComplianceStatus(Context& context);
int ActivateCompliance(Context& context);
int ShowAuditTrail(Context& context);

// Export files read without importing them (ExportFileCommands.cpp): import
// --dry-run, and diff (exit 0 equal, 1 different, 2 trouble).
int PreviewImport(Context& context);
int DiffApplicationFile(Context& context);

// Access reviews (ReviewCommands.cpp).
int ShowEffectiveAccess(Context& context);
int ShowWhoCan(Context& context);
int ReportAccess(Context& context);

// The set-up checklist (DoctorCommand.cpp); exit 1 when a check fails.
int ShowDoctor(Context& context);

// The delete command of an application (depth 0), a group (1) or an object
// (2) named by the arguments: asks questionFormat, deletes the record on the
// server and reports "Deleted the WHAT 'NAME'.".
int DeleteTarget(Context& context, size_t depth, const char* questionFormat, const std::string& what);

// The application's permissions as the audit texts take them.
std::vector<zyr::audit::PermissionItem> PermissionItems(const CKVTAppl& application);

// The apply of an access page (application, group or object) for a new
// description and one role's new mask: the audit text of old and new values
// in the record's AuditText, then its Update.
template <typename Record>
int ApplyAccessPage(Record& record, const CKVTAppl& application, const std::string& newDescription,
                    const std::vector<zyr::audit::RoleMaskChange>& roles)
{
    const std::string oldDescription(record.Description.view());
    zyr::audit::AuditRenderings renderings =
        zyr::audit::AccessPageRenderings(oldDescription, newDescription, roles, PermissionItems(application));
    zyr::records::SetField(record.Description, newDescription, "Description");
    record.AuditText = zyr::audit::MakeAuditText(renderings);
    return record.Update() ? kExitSuccess : kExitFailed;
}

// An add command: the New dialog's checks of the name (the last argument)
// and --description, then add(name, description) answers the outcome of
// records/ChangeFlows (an empty one after a refusal it has shown); a taken
// name is refused with existsFormat, the added record is answered under key
// and as "Added the WHAT 'NAME' ID.". The list that add fills must outlive
// this call.
template <typename Add>
int AddCommand(Context& context, zyr::records::NewRecordKind kind, const char* existsFormat, const char* key,
               const std::string& what, Add&& add)
{
    std::string name;
    std::string description;
    if (!ReadNewName(context, kind, name, description)) {
        return kExitFailed;
    }
    const auto outcome = add(name, description);
    if (outcome.existing != nullptr) {
        Refused(context, existsFormat, outcome.existing->CN.view());
        return kExitFailed;
    }
    if (outcome.added == nullptr) {
        return kExitFailed;
    }
    name = std::string(outcome.added->CN.view());
    const std::string id(outcome.added->DN.view());
    context.json.Set(key, Named(name, id));
    Changed(context, "Added the " + what + " '" + name + "' " + id + ".");
    return kExitSuccess;
}

} // namespace zyr::zyrsec
