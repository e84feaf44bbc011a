#include "tools/zyrsec/ZyrsecRun.h"

#include "audit/AuditTexts.h"
#include "audit/ComplianceActivation.h"
#include "audit/ComplianceFlag.h"
#include "common/KvtXml.h"
#include "common/QueryEscape.h"
#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "common/StringTable.h"
#include "platform/text/CodePage.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "records/ApplicationImport.h"
#include "records/ChangeRules.h"
#include "records/Log.h"
#include "roles/RoleList.h"
#include "signin/FindUser.h"
#include "signin/SignIn.h"
#include "tools/zyrsec/CliUi.h"
#include "tools/zyrsec/CommandLine.h"
#include "tools/zyrsec/Json.h"
#include "tools/zyrsec/TextTable.h"
#include "web/ServerConnection.h"
#include "web/WebPage.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <strings.h>
#include <unistd.h>

namespace zyr::zyrsec {

namespace {

using zyr::ui::MB_ICONERROR;
using zyr::ui::MB_ICONINFORMATION;
using zyr::ui::MB_ICONQUESTION;
using zyr::ui::MB_ICONWARNING;
using zyr::ui::MB_OK;
using zyr::ui::MB_YESNO;

// The caption of the tool's own messages (those the console has no box for).
constexpr const char* kToolCaption = "zyrsec";

struct Context {
    Context(const Invocation& i, CliUi& u, const RunStreams& s) : invocation(i), ui(u), streams(s) {}
    const Invocation& invocation;
    CliUi& ui;
    const RunStreams& streams;
    Json json = Json::Object(); // the answer of --json, "ok" first
    std::string text;           // the plain answer
};

std::string Caption()
{
    return zyr::LoadStringAnsi(zyr::IDS_PROJNAME);
}

// A refusal of the tool itself: shown like the console's boxes, exit 1.
int Fail(Context& context, const std::string& message)
{
    context.ui.MessageBox(nullptr, message, kToolCaption, MB_OK | MB_ICONERROR);
    return kExitFailed;
}

// Shows a string resource as the console does (caption 100).
void ShowResource(Context& context, UINT id, unsigned icon)
{
    context.ui.MessageBox(nullptr, zyr::LoadStringAnsi(id), Caption(), MB_OK | icon);
}

bool AskYes(Context& context, const std::string& question, const std::string& caption)
{
    return context.ui.MessageBox(nullptr, question, caption, MB_YESNO | MB_ICONWARNING) == zyr::ui::IDYES;
}

// The refusal rule of every changing command.
bool RefusedByAuditGuard()
{
    if (IsAuditNotFunctional()) {
        zyr::ShowAuditComponentsMissing();
        return true;
    }
    return false;
}

// Progress of a long fetch on the terminal (standard error), never with
// --json or when the output is not a terminal.
class Progress {
public:
    explicit Progress(const Context& context)
        : stream_(context.streams.err), on_(!context.invocation.global.json &&
                                            context.streams.errIsTerminal && context.streams.outIsTerminal)
    {
    }
    ~Progress() { Done(); }
    void Show(std::string_view text)
    {
        if (on_) {
            std::fprintf(stream_, "\r\033[K%.*s", static_cast<int>(text.size()), text.data());
            std::fflush(stream_);
            shown_ = true;
        }
    }
    void Done()
    {
        if (shown_) {
            std::fprintf(stream_, "\r\033[K");
            std::fflush(stream_);
            shown_ = false;
        }
    }
    StatusTextHandler Handler()
    {
        return [this](std::string_view text) { Show(text); };
    }

private:
    std::FILE* stream_;
    bool on_;
    bool shown_ = false;
};

void FetchApplicationList(Context& context, CKVTApplList& list)
{
    Progress progress(context);
    FetchApplications(list, progress.Handler());
}

void FetchRoleList(Context& context, CKVTRoleList& roles)
{
    Progress progress(context);
    progress.Show("Fetching Role Data from the Server...");
    roles.GetRoles();
}

// ---------------------------------------------------------------------------
// Finding records by name; a name not found is the tool's own refusal.

CKVTAppl* FindApplication(Context& context, CKVTApplList& list, const std::string& name)
{
    CKVTAppl* application = list.FindByNameOrDN(name);
    if (application == nullptr) {
        Fail(context, "There is no application '" + name + "'.");
    }
    return application;
}

CKVTSecGroup* FindGroup(Context& context, CKVTAppl& application, const std::string& name)
{
    CKVTSecGroup* group = zyr::records::FindGroupByName(application, name);
    if (group == nullptr) {
        Fail(context, "There is no secure group '" + name + "' in the application '" +
                          std::string(application.CN.view()) + "'.");
    }
    return group;
}

CKVTApplSecObj* FindObject(Context& context, CKVTSecGroup& group, const std::string& name)
{
    CKVTApplSecObj* object = zyr::records::FindObjectByName(group, name);
    if (object == nullptr) {
        Fail(context, "There is no securable object '" + name + "' in the secure group '" +
                          std::string(group.CN.view()) + "'.");
    }
    return object;
}

CKVTRole* FindRole(Context& context, CKVTRoleList& roles, const std::string& name)
{
    CKVTRole* role = roles.FindByName(name);
    if (role == nullptr) {
        Fail(context, "There is no role '" + name + "'.");
    }
    return role;
}

// ---------------------------------------------------------------------------
// Records as JSON and as text.

std::vector<zyr::audit::PermissionItem> PermissionItems(const CKVTAppl& application)
{
    std::vector<zyr::audit::PermissionItem> items;
    for (const auto& permission : application.Permissions) {
        items.push_back({std::string(permission.Name.view()), zyr::records::PermissionBits(permission)});
    }
    return items;
}

std::vector<zyr::audit::PermissionText> PermissionTexts(const std::vector<PermissionEntry>& permissions)
{
    std::vector<zyr::audit::PermissionText> texts;
    for (const auto& permission : permissions) {
        texts.push_back({std::string(permission.Name.view()), std::string(permission.Value.view())});
    }
    return texts;
}

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
    Json out = Json::Object();
    out.Set("name", object.CN.view());
    out.Set("id", object.DN.view());
    out.Set("description", object.Description.view());
    out.Set("acl", AclJson(object.ACL, application));
    return out;
}

Json GroupJson(const CKVTSecGroup& group, const CKVTAppl& application)
{
    Json out = Json::Object();
    out.Set("name", group.CN.view());
    out.Set("id", group.DN.view());
    out.Set("description", group.Description.view());
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
    Json out = Json::Object();
    out.Set("name", application.CN.view());
    out.Set("id", application.DN.view());
    out.Set("description", application.Description.view());
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
    Json out = Json::Object();
    out.Set("name", role.CN.view());
    out.Set("id", role.DN.view());
    out.Set("description", role.Description.view());
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

// ---------------------------------------------------------------------------
// Reading.

int ShowTree(Context& context)
{
    CKVTApplList list;
    FetchApplicationList(context, list);
    CKVTRoleList roles;
    FetchRoleList(context, roles);
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
    FetchApplicationList(context, list);
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
    FetchApplicationList(context, list);
    CKVTAppl* application = FindApplication(context, list, context.invocation.arguments[0]);
    if (application == nullptr) {
        return kExitFailed;
    }
    context.json.Set("application", ApplicationJson(*application));
    std::string text = RenderFields({{"Name", std::string(application->CN.view())},
                                     {"ID", std::string(application->DN.view())},
                                     {"Description", std::string(application->Description.view())},
                                     {"Access", AclText(application->ACL, *application)}});
    TextTable permissions({"PERMISSION", "VALUE"}, "  ");
    for (const auto& permission : application->Permissions) {
        permissions.AddRow({std::string(permission.Name.view()), std::string(permission.Value.view())});
    }
    text += "\nPermissions\n" + permissions.Render();
    text += "\nGroups\n";
    for (const auto& group : application->Groups) {
        text += "  " + std::string(group->CN.view()) + "  " + std::string(group->DN.view()) + "\n";
        text += RenderFields({{"Description", std::string(group->Description.view())},
                              {"Access", AclText(group->ACL, *application)}},
                             "    ");
        if (!group->Objects.empty()) {
            TextTable objects({"OBJECT", "ID", "ACCESS", "DESCRIPTION"}, "    ");
            for (const auto& object : group->Objects) {
                objects.AddRow({std::string(object->CN.view()), std::string(object->DN.view()),
                                AclText(object->ACL, *application), std::string(object->Description.view())});
            }
            text += objects.Render();
        }
    }
    context.text = text;
    return kExitSuccess;
}

int ListRoles(Context& context)
{
    CKVTRoleList roles;
    FetchRoleList(context, roles);
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
    FetchRoleList(context, roles);
    CKVTRole* role = FindRole(context, roles, context.invocation.arguments[0]);
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

// The range of the log commands as the filter dialog gives it: the From date,
// and the day after the To date (the server's To is exclusive).
struct LogRange {
    bool given = false;
    std::string from;
    std::string to;
    std::string toInclusive;
};

std::optional<LogRange> ReadLogRange(Context& context)
{
    LogRange range;
    if (!context.invocation.Has("from")) {
        return range;
    }
    const LogDate from = *ParseLogDate(context.invocation.Option("from"));
    const LogDate to = *ParseLogDate(context.invocation.Option("to"));
    if (to < from) {
        ShowResource(context, zyr::IDS_FROM_DATE_AFTER_TO_DATE, MB_ICONERROR);
        return std::nullopt;
    }
    range.given = true;
    range.from = FormatLogDate(from);
    range.to = FormatLogDate(NextDay(to));
    range.toInclusive = FormatLogDate(to);
    return range;
}

int ShowLogs(Context& context)
{
    const std::optional<LogRange> range = ReadLogRange(context);
    if (!range) {
        return kExitFailed;
    }
    const long page =
        context.invocation.Has("page") ? *ParsePageNumber(context.invocation.Option("page")) : 0;
    CKVTLogList list;
    list.DisplaySet = page;
    HRESULT hr;
    {
        Progress progress(context);
        progress.Show("Fetching Log Data from the Server...");
        hr = range->given ? list.GetLogs(zyr::CurrentUserName(), std::string_view(range->from), range->to)
                          : list.GetLogs(zyr::CurrentUserName(), std::nullopt, {});
    }
    if (FAILED(hr)) {
        return Fail(context, "The log could not be fetched from the security server.");
    }
    Json entries = Json::Array();
    TextTable table({"DATE/TIME", "USER", "ACTION", "STATUS"});
    for (const auto& entry : list.Entries()) {
        Json item = Json::Object();
        item.Set("time", entry->DateTime.view());
        item.Set("user", entry->User.view());
        item.Set("action", entry->Action.view());
        item.Set("status", entry->Status.view());
        entries.Push(std::move(item));
        table.AddRow({std::string(entry->DateTime.view()), std::string(entry->User.view()),
                      std::string(entry->Action.view()), std::string(entry->Status.view())});
    }
    context.json.Set("page", page);
    if (range->given) {
        context.json.Set("from", range->from);
        context.json.Set("to", range->toInclusive);
    }
    context.json.Set("entries", std::move(entries));
    context.text = table.Render();
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

std::string ServerUrl()
{
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    return SUCCEEDED(GetSecurityServerUrl(buffer, &size)) ? std::string(buffer) : std::string();
}

int ComplianceStatus(Context& context)
{
    const std::string url = ServerUrl();
    VARIANT_BOOL flag = VARIANT_FALSE;
    const HRESULT hr = Get21CFR11Flag(url.c_str(), &flag);
    const bool notFunctional = IsAuditNotFunctional();
    context.json.Set("server", url);
    context.json.Set("compliance", SUCCEEDED(hr) ? Json(flag != VARIANT_FALSE) : Json());
    context.json.Set("audit_functional", !notFunctional);
    context.text =
        RenderFields({{"Server", url},
                      {"Compliance features", FAILED(hr) ? "unknown (the server did not answer)"
                                              : flag     ? "activated"
                                                         : "off"},
                      {"Audit path", notFunctional ? "not functional: changes are refused" : "functional"}});
    return kExitSuccess;
}

int ActivateCompliance(Context& context)
{
    const std::string url = ServerUrl();
    VARIANT_BOOL flag = VARIANT_FALSE;
    if (SUCCEEDED(Get21CFR11Flag(url.c_str(), &flag)) && flag != VARIANT_FALSE) {
        context.json.Set("changed", false);
        context.text = "The compliance-enabling features are already activated.\n";
        return kExitSuccess;
    }
    if (context.ui.MessageBox(nullptr, zyr::audit::kActivateQuestion, Caption(),
                              MB_YESNO | MB_ICONQUESTION) != zyr::ui::IDYES) {
        return kExitFailed;
    }
    const zyr::audit::ActivationOutcome outcome = zyr::audit::ActivateComplianceFeatures();
    if (FAILED(outcome.result)) {
        context.ui.MessageBox(nullptr, outcome.message, Caption(), MB_OK | MB_ICONERROR);
        return kExitFailed;
    }
    context.json.Set("changed", true);
    context.text = "The compliance-enabling features have been activated.\n";
    return kExitSuccess;
}

int ShowAuditTrail(Context& context)
{
    const long page =
        context.invocation.Has("page") ? *ParsePageNumber(context.invocation.Option("page")) : 0;
    zyr::RequestUrl url(ServerUrl(), "Audit", "Get");
    url.Number("DisplaySet", page);
    std::string reply;
    if (!GetWebPage(url.str(), reply, true)) {
        return Fail(context, "The audit trail could not be fetched from the security server.");
    }
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    zyr::xml::KvtXmlElement trail;
    zyr::xml::KvtXmlElementCollection records;
    LONG count = 0;
    if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document ||
        FAILED(document->put_XmlString(std::move(reply))) ||
        FAILED(document->FindElement(nullptr, "KVTAUDIT", trail)) || FAILED(trail.get_children(records)) ||
        FAILED(records.get_length(&count))) {
        return Fail(context, "The security server's audit trail could not be read.");
    }
    static const char* const kFields[] = {"time",     "user",          "computer",  "object",   "operation",
                                          "identity", "identity_name", "old_value", "new_value"};
    Json array = Json::Array();
    TextTable table({"TIME", "USER", "OBJECT", "OPERATION", "NAME"});
    std::string details;
    // The last child is the count, not a record.
    for (LONG i = 0; i + 1 < count; ++i) {
        zyr::xml::KvtXmlElement record;
        zyr::xml::KvtXmlElementCollection fields;
        LONG fieldCount = 0;
        if (FAILED(records.item(i, record)) || FAILED(record.get_children(fields)) ||
            FAILED(fields.get_length(&fieldCount)) || fieldCount < 9) {
            continue;
        }
        std::string values[9];
        Json item = Json::Object();
        for (LONG f = 0; f < 9; ++f) {
            zyr::xml::KvtXmlElement field;
            if (SUCCEEDED(fields.item(f, field))) {
                document->GetElementText(field, values[f]);
            }
            item.Set(kFields[f], values[f]);
        }
        array.Push(std::move(item));
        table.AddRow({values[0], values[1], values[3], values[4], values[6]});
    }
    context.json.Set("page", page);
    context.json.Set("records", std::move(array));
    context.text = table.Render();
    return kExitSuccess;
}

// ---------------------------------------------------------------------------
// Changing. Each command asks the audit guard first, then checks its input as
// the console's dialog or page would, then sends what that page sends.

// The New dialogs' checks; false when refused (the message has been shown).
bool CheckNewName(Context& context, zyr::records::NewRecordKind kind, const std::string& name,
                  const std::string& description, std::string& trimmed)
{
    zyr::records::NewNameCheck check = zyr::records::CheckNewRecordName(kind, name, description);
    if (!check.ok) {
        if (check.messageId != 0) {
            ShowResource(context, check.messageId, check.icon);
        }
        return false;
    }
    trimmed = check.name;
    return true;
}

// A description typed on an access page or the General page of a role.
bool CheckDescription(Context& context, const std::string& description)
{
    if (description.size() > 255) {
        ShowResource(context, zyr::IDS_ONLY_255_CHARACTERS, MB_OK);
        return false;
    }
    return IsValidNameText(description);
}

void Refused(Context& context, const char* format, std::string_view name)
{
    context.ui.MessageBox(nullptr, zyr::records::FormatWithName(format, name), Caption(),
                          MB_OK | MB_ICONINFORMATION);
}

void Unchanged(Context& context, const std::string& text)
{
    context.json.Set("changed", false);
    context.text = text + "\n";
}

void Changed(Context& context, const std::string& text)
{
    context.json.Set("changed", true);
    context.text = text + "\n";
}

int AddApplication(Context& context)
{
    std::string name;
    const std::string description = context.invocation.Option("description");
    if (!CheckNewName(context, zyr::records::NewRecordKind::Application, context.invocation.arguments[0],
                      description, name)) {
        return kExitFailed;
    }
    CKVTApplList list;
    FetchApplicationList(context, list);
    if (const CKVTAppl* existing = list.FindByNameOrDN(name)) {
        Refused(context, zyr::records::kApplicationExistsFormat, existing->CN.view());
        return kExitFailed;
    }
    CKVTAppl& application = list.Append(std::make_unique<CKVTAppl>(name, description, true));
    if (!application.Add()) {
        return kExitFailed;
    }
    context.json.Set("application", Named(name, application.DN.view()));
    Changed(context, "Added the application '" + name + "' " + std::string(application.DN.view()) + ".");
    return kExitSuccess;
}

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

// Finds the application, group and object named by the arguments from
// first on (APP [GROUP [OBJECT]]).
struct Target {
    CKVTAppl* application = nullptr;
    CKVTSecGroup* group = nullptr;
    CKVTApplSecObj* object = nullptr;
};

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

int Describe(Context& context, size_t depth)
{
    const auto& args = context.invocation.arguments;
    const std::string& description = args[depth + 1];
    if (!CheckDescription(context, description)) {
        return kExitFailed;
    }
    CKVTApplList list;
    FetchApplicationList(context, list);
    Target target;
    if (!FindTarget(context, list, args[0], depth >= 1 ? &args[1] : nullptr, depth >= 2 ? &args[2] : nullptr,
                    target)) {
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
        if (target.object->Description.view() != description) {
            target.object->UseQ = 0;
        }
        return apply(*target.object);
    }
    if (target.group != nullptr) {
        return apply(*target.group);
    }
    return apply(*target.application);
}

// The common tail of the delete commands: asks with the record's question,
// then deletes it on the server. Gives the record's name for the report,
// since the record may be gone from its list before that is written.
template <typename Record>
bool ConfirmAndDelete(Context& context, Record& record, const char* questionFormat, std::string& name)
{
    if (!AskYes(context, zyr::records::FormatWithName(questionFormat, record.CN.view()), Caption())) {
        return false;
    }
    name = std::string(record.CN.view());
    return record.Delete();
}

int DeleteApplication(Context& context)
{
    CKVTApplList list;
    FetchApplicationList(context, list);
    CKVTAppl* application = FindApplication(context, list, context.invocation.arguments[0]);
    if (application == nullptr) {
        return kExitFailed;
    }
    std::string name;
    if (!ConfirmAndDelete(context, *application, zyr::records::kDeleteApplicationFormat, name)) {
        return kExitFailed;
    }
    list.Remove(application);
    Changed(context, "Deleted the application '" + name + "'.");
    return kExitSuccess;
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
    FetchApplicationList(context, list);
    CKVTAppl* application = FindApplication(context, list, args[0]);
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
    FetchApplicationList(context, list);
    CKVTRoleList roles;
    FetchRoleList(context, roles);
    const std::string groupName = invocation.Option("group");
    const std::string objectName = invocation.Option("object");
    Target target;
    if (!FindTarget(context, list, invocation.Option("app"), invocation.Has("group") ? &groupName : nullptr,
                    invocation.Has("object") ? &objectName : nullptr, target)) {
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
        target.object->UseQ = 0;
        return apply(*target.object);
    }
    if (target.group != nullptr) {
        return apply(*target.group);
    }
    return apply(*target.application);
}

int AddGroup(Context& context)
{
    const auto& args = context.invocation.arguments;
    std::string name;
    const std::string description = context.invocation.Option("description");
    if (!CheckNewName(context, zyr::records::NewRecordKind::Group, args[1], description, name)) {
        return kExitFailed;
    }
    CKVTApplList list;
    FetchApplicationList(context, list);
    CKVTAppl* application = FindApplication(context, list, args[0]);
    if (application == nullptr) {
        return kExitFailed;
    }
    if (const CKVTSecGroup* existing = zyr::records::FindGroupByName(*application, name)) {
        Refused(context, zyr::records::kGroupExistsFormat, existing->CN.view());
        return kExitFailed;
    }
    auto group =
        std::make_unique<CKVTSecGroup>(name, application->CN.view(), application->DN.view(), description);
    if (!group->Add()) {
        return kExitFailed;
    }
    context.json.Set("group", Named(name, group->DN.view()));
    Changed(context, "Added the secure group '" + name + "' " + std::string(group->DN.view()) + ".");
    application->Groups.push_back(std::move(group));
    return kExitSuccess;
}

int DeleteGroup(Context& context)
{
    const auto& args = context.invocation.arguments;
    CKVTApplList list;
    FetchApplicationList(context, list);
    Target target;
    if (!FindTarget(context, list, args[0], &args[1], nullptr, target)) {
        return kExitFailed;
    }
    std::string name;
    if (!ConfirmAndDelete(context, *target.group, zyr::records::kDeleteGroupFormat, name)) {
        return kExitFailed;
    }
    Changed(context, "Deleted the secure group '" + name + "'.");
    return kExitSuccess;
}

int AddObject(Context& context)
{
    const auto& args = context.invocation.arguments;
    std::string name;
    const std::string description = context.invocation.Option("description");
    if (!CheckNewName(context, zyr::records::NewRecordKind::Object, args[2], description, name)) {
        return kExitFailed;
    }
    CKVTApplList list;
    FetchApplicationList(context, list);
    Target target;
    if (!FindTarget(context, list, args[0], &args[1], nullptr, target)) {
        return kExitFailed;
    }
    if (const CKVTApplSecObj* existing = zyr::records::FindObjectByName(*target.group, name)) {
        Refused(context, zyr::records::kObjectExistsFormat, existing->CN.view());
        return kExitFailed;
    }
    auto object = std::make_unique<CKVTApplSecObj>(name, target.group->DN.view(), target.group->ApplDN.view(),
                                                   description);
    if (!object->Add()) {
        return kExitFailed;
    }
    context.json.Set("object", Named(name, object->DN.view()));
    Changed(context, "Added the securable object '" + name + "' " + std::string(object->DN.view()) + ".");
    target.group->Objects.push_back(std::move(object));
    return kExitSuccess;
}

int DeleteObject(Context& context)
{
    const auto& args = context.invocation.arguments;
    CKVTApplList list;
    FetchApplicationList(context, list);
    Target target;
    if (!FindTarget(context, list, args[0], &args[1], &args[2], target)) {
        return kExitFailed;
    }
    std::string name;
    if (!ConfirmAndDelete(context, *target.object, zyr::records::kDeleteObjectFormat, name)) {
        return kExitFailed;
    }
    Changed(context, "Deleted the securable object '" + name + "'.");
    return kExitSuccess;
}

int AddRole(Context& context)
{
    std::string name;
    const std::string description = context.invocation.Option("description");
    if (!CheckNewName(context, zyr::records::NewRecordKind::Role, context.invocation.arguments[0],
                      description, name)) {
        return kExitFailed;
    }
    CKVTRoleList roles;
    FetchRoleList(context, roles);
    if (const CKVTRole* existing = roles.FindByName(name)) {
        Refused(context, zyr::records::kRoleExistsFormat, existing->CN.view());
        return kExitFailed;
    }
    auto role = std::make_unique<CKVTRole>(name, description);
    if (!role->Add()) {
        ShowResource(context, zyr::IDS_ADD_ROLE_FAILED, MB_ICONERROR);
        return kExitFailed;
    }
    context.json.Set("role", Named(name, role->DN.view()));
    Changed(context, "Added the role '" + name + "' " + std::string(role->DN.view()) + ".");
    roles.Append(std::move(role));
    return kExitSuccess;
}

int DescribeRole(Context& context)
{
    const auto& args = context.invocation.arguments;
    if (!CheckDescription(context, args[1])) {
        return kExitFailed;
    }
    CKVTRoleList roles;
    FetchRoleList(context, roles);
    CKVTRole* role = FindRole(context, roles, args[0]);
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
    FetchRoleList(context, roles);
    CKVTRole* role = FindRole(context, roles, context.invocation.arguments[0]);
    if (role == nullptr) {
        return kExitFailed;
    }
    std::string name;
    if (!ConfirmAndDelete(context, *role, zyr::records::kDeleteRoleFormat, name)) {
        return kExitFailed;
    }
    roles.Remove(role);
    // The server takes the role's entries out of every access-control list
    // with the role. The list is read back to make sure: an entry still
    // naming the role would grant its rights to a role made later under the
    // same name, so any that remain (an older server) are told.
    CKVTApplList list;
    FetchApplicationList(context, list);
    const size_t entries = zyr::records::RemoveRoleFromApplications(list, name);
    context.json.Set("acl_entries_naming_role", static_cast<unsigned long>(entries));
    Changed(context, "Deleted the role '" + name + "'." +
                         (entries == 0 ? std::string()
                                       : " " + std::to_string(entries) +
                                             " access-control entries still name it on the server."));
    return kExitSuccess;
}

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
    FetchRoleList(context, roles);
    CKVTRole* role = FindRole(context, roles, invocation.arguments[0]);
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

int ExportApplication(Context& context)
{
    const auto& args = context.invocation.arguments;
    CKVTApplList list;
    FetchApplicationList(context, list);
    CKVTAppl* application = FindApplication(context, list, args[0]);
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
    const std::string& path = context.invocation.arguments[0];
    if (!std::ifstream(path, std::ios::binary)) {
        return Fail(context, "The file '" + path + "' cannot be read.");
    }
    CKVTApplList list;
    FetchApplicationList(context, list);
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

int DeleteLogs(Context& context)
{
    const std::optional<LogRange> range = ReadLogRange(context);
    if (!range) {
        return kExitFailed;
    }
    const std::string question = range->given ? zyr::records::kDeleteLogRangePrefix + range->from +
                                                    zyr::records::kDeleteLogRangeMiddle + range->to
                                              : zyr::LoadStringAnsi(zyr::IDS_CONFIRM_DELETE_ALL_LOGS);
    if (!AskYes(context, question, Caption())) {
        return kExitFailed;
    }
    CKVTLogList list;
    const HRESULT hr = range->given
                           ? list.DeleteLogs(zyr::CurrentUserName(), std::string_view(range->from), range->to)
                           : list.DeleteLogs(zyr::CurrentUserName(), std::nullopt, {});
    if (FAILED(hr)) {
        return Fail(context, "The security server did not delete the log entries.");
    }
    Changed(context, range->given
                         ? "Deleted the log entries from " + range->from + " to " + range->toInclusive + "."
                         : std::string("Deleted every log entry."));
    return kExitSuccess;
}

using Handler = std::function<int(Context&)>;

// Every command that changes something is refused first while the audit
// components are missing, before any argument is read or the server asked.
Handler Changing(Handler handler)
{
    return [handler = std::move(handler)](Context& context) {
        return RefusedByAuditGuard() ? kExitFailed : handler(context);
    };
}

const std::map<std::string, Handler>& Handlers()
{
    static const std::map<std::string, Handler> handlers = {
        {"tree", ShowTree},
        {"apps", ListApplications},
        {"app show", ShowApplication},
        {"app add", Changing(AddApplication)},
        {"app describe", Changing([](Context& c) { return Describe(c, 0); })},
        {"app delete", Changing(DeleteApplication)},
        {"perm add", Changing([](Context& c) { return PermissionCommand(c, "add"); })},
        {"perm rename", Changing([](Context& c) { return PermissionCommand(c, "rename"); })},
        {"perm delete", Changing([](Context& c) { return PermissionCommand(c, "delete"); })},
        {"acl grant", Changing([](Context& c) { return AccessCommand(c, true); })},
        {"acl revoke", Changing([](Context& c) { return AccessCommand(c, false); })},
        {"group add", Changing(AddGroup)},
        {"group describe", Changing([](Context& c) { return Describe(c, 1); })},
        {"group delete", Changing(DeleteGroup)},
        {"object add", Changing(AddObject)},
        {"object describe", Changing([](Context& c) { return Describe(c, 2); })},
        {"object delete", Changing(DeleteObject)},
        {"roles", ListRoles},
        {"role show", ShowRole},
        {"role add", Changing(AddRole)},
        {"role describe", Changing(DescribeRole)},
        {"role delete", Changing(DeleteRole)},
        {"member add", Changing([](Context& c) { return MemberCommand(c, true); })},
        {"member remove", Changing([](Context& c) { return MemberCommand(c, false); })},
        {"export", ExportApplication},
        {"import", Changing(ImportApplication)},
        {"logs", ShowLogs},
        {"logs delete", Changing(DeleteLogs)},
        {"find-user", FindUserRoles},
        {"compliance status", ComplianceStatus},
        {"compliance activate", ActivateCompliance},
        {"audit", ShowAuditTrail},
    };
    return handlers;
}

// ---------------------------------------------------------------------------
// Sign-in.

bool ReadPassword(const RunStreams& streams, std::string& password)
{
    if (streams.inIsTerminal) {
        return ReadPasswordFromTerminal("Password: ", password);
    }
    password.clear();
    for (int c; (c = std::fgetc(streams.in)) != EOF && c != '\n';) {
        password.push_back(static_cast<char>(c));
    }
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    return true;
}

bool SignIn(Context& context)
{
    const GlobalOptions& global = context.invocation.global;
    zyr::signin::LoginFields fields;
    if (global.user) {
        fields.useLogonUser = 0;
        fields.userName.Assign(*global.user);
        fields.domain.Assign(global.domain.value_or(""));
        std::string password;
        ReadPassword(context.streams, password);
        fields.password.Assign(password);
        explicit_bzero(password.data(), password.size());
    } else {
        fields.useLogonUser = 1;
        zyr::signin::FillFromLogonUser(fields);
    }
    const zyr::signin::SignInVerdict verdict = zyr::signin::DecideSignIn(fields);
    fields.password.Wipe();
    if (!verdict.message.empty()) {
        context.ui.MessageBox(nullptr, verdict.message, zyr::signin::kSignInCaption, MB_OK | verdict.icon);
    }
    return verdict.end == zyr::signin::SignInEnd::EndOk;
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

} // namespace

int RunZyrsec(const std::vector<std::string>& arguments, const RunStreams& streams)
{
    const ParseOutcome parsed = ParseCommandLine(arguments);
    if (!parsed.ok) {
        std::fprintf(streams.err, "zyrsec: %s\n(zyrsec --help lists the commands)\n", parsed.error.c_str());
        if (parsed.invocation.global.json) {
            WriteJson(streams.out, FailureJson(kExitUsage, {parsed.error}));
        }
        return kExitUsage;
    }
    const Invocation& invocation = parsed.invocation;
    if (invocation.help) {
        const std::string help = invocation.command ? CommandHelp(*invocation.command) : GeneralHelp();
        std::fputs(help.c_str(), streams.out);
        return kExitSuccess;
    }

    CliUi ui(invocation.global.yes, streams.inIsTerminal && streams.errIsTerminal, streams.err);
    zyr::ui::InstallUiService(&ui);
    Context context{invocation, ui, streams};
    context.json.Set("ok", true);
    context.json.Set("command", invocation.command->words);

    const auto run = [&]() {
        if (invocation.global.server) {
            const std::u16string url = zyr::text::Widen(*invocation.global.server);
            if (FAILED(SetSecurityServer(zyr::kSecurityServerAccessKey, url.c_str()))) {
                return Fail(context, "The server URL '" + *invocation.global.server + "' cannot be used.");
            }
        }
        const GlobalOptions& global = invocation.global;
        if (global.unixSocket) {
            zyr::SetServerUnixSocket(*global.unixSocket);
        }
        if (global.caFile) {
            if (access(global.caFile->c_str(), R_OK) != 0) {
                return Fail(context, "The certificate file '" + *global.caFile + "' cannot be read.");
            }
            zyr::SetServerCaFile(*global.caFile);
        }
        if (!SignIn(context)) {
            return kExitFailed;
        }
        return Handlers().at(invocation.command->words)(context);
    };
    const int status = run();
    zyr::web::ClearServerCredentials();
    zyr::ui::ResetUiService();
    std::vector<std::string> messages;
    for (const auto& message : ui.Messages()) {
        messages.push_back(message.text);
    }
    if (invocation.global.json) {
        if (status == kExitSuccess) {
            if (!messages.empty()) {
                context.json.Set("messages", Strings(messages));
            }
            WriteJson(streams.out, context.json);
        } else {
            WriteJson(streams.out, FailureJson(status, messages));
        }
    } else if (status == kExitSuccess) {
        std::fputs(context.text.c_str(), streams.out);
    }
    std::fflush(streams.out);
    return status;
}

} // namespace zyr::zyrsec
