// Access reviews: what an account may do, who holds a permission on a record,
// and the access review report.
#include "tools/zyrsec/Commands.h"

#include "platform/identity/Identity.h"
#include "records/AccessReview.h"
#include "records/ChangeRules.h"
#include "records/EffectiveAccess.h"
#include "signin/AccountLookup.h"
#include "tools/zyrsec/Lookup.h"
#include "tools/zyrsec/TextTable.h"

#include <charconv>
#include <cstring>
#include <ctime>

namespace zyr::zyrsec {

namespace {

constexpr int kMostReviewDays = 3660;

std::string RoleList(const std::vector<std::string>& roles)
{
    std::string text;
    for (const auto& role : roles) {
        text += (text.empty() ? "" : ", ") + role;
    }
    return text;
}

Json PlaceJson(const zyr::records::AccessPlace& place)
{
    Json json = Json::Object();
    json.Set("kind", place.Kind());
    json.Set("application", place.application);
    if (!place.group.empty()) {
        json.Set("group", place.group);
    }
    if (!place.object.empty()) {
        json.Set("object", place.object);
    }
    return json;
}

// An account as the command line names it: "DOMAIN\user", "user@realm", or
// a local account's bare name.
bool ReadAccount(Context& context, const std::string& text, std::string& domain, std::string& user)
{
    const bool control = std::any_of(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
    if (text.empty() || text.size() > 255 || control) {
        Fail(context, "'" + text + "' is not an account name (DOMAIN\\USER, USER@REALM or a local USER).");
        return false;
    }
    zyr::identity::SplitAccount(text, zyr::identity::ShortHostName(), domain, user);
    if (user.empty() || domain.empty()) {
        Fail(context, "'" + text + "' is not an account name (DOMAIN\\USER, USER@REALM or a local USER).");
        return false;
    }
    return true;
}

// --days N: whole days from 1 to kMostReviewDays.
bool ReadDays(Context& context, int& days)
{
    days = zyr::records::kDefaultReviewDays;
    if (!context.invocation.Has("days")) {
        return true;
    }
    const std::string text = context.invocation.Option("days");
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), days);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || days < 1 ||
        days > kMostReviewDays) {
        Fail(context,
             "'" + text + "' is not a number of days (1 to " + std::to_string(kMostReviewDays) + ").");
        return false;
    }
    return true;
}

} // namespace

int ShowEffectiveAccess(Context& context)
{
    std::string domain;
    std::string user;
    if (!ReadAccount(context, context.invocation.arguments[0], domain, user)) {
        return kExitFailed;
    }
    CKVTApplList list;
    CKVTRoleList roles;
    if (!FetchApplicationList(context, list) || !FetchRoleList(context, roles)) {
        return kExitFailed;
    }
    std::string application;
    if (context.invocation.Has("app")) {
        const CKVTAppl* found = FindApplication(context, list, context.invocation.Option("app"));
        if (found == nullptr) {
            return kExitFailed;
        }
        application = std::string(found->CN.view());
    }
    const std::string computer = zyr::identity::ShortHostName();
    const zyr::signin::AccountIdentity account = zyr::signin::LookUpRoleAccount(domain, user, computer);
    const std::vector<zyr::records::HeldRole> held = zyr::records::RolesOfAccount(roles, account, computer);
    const std::vector<zyr::records::PlaceAccess> places =
        zyr::records::EffectiveAccess(list, held, application);

    const std::string accountName = account.domain + "\\" + account.user;
    context.json.Set("account", accountName);
    context.json.Set("groups", Strings(account.groups));
    Json heldJson = Json::Array();
    std::string heldText;
    for (const auto& role : held) {
        Json item = Json::Object();
        item.Set("role", role.role);
        item.Set("through", role.through);
        heldJson.Push(std::move(item));
        heldText += (heldText.empty() ? "" : ", ") + role.role + " (" + role.through + ")";
    }
    context.json.Set("roles", std::move(heldJson));
    Json accessJson = Json::Array();
    TextTable table({"KIND", "WHERE", "PERMISSION", "GRANTED BY"});
    for (const auto& place : places) {
        Json item = PlaceJson(place.place);
        Json permissions = Json::Array();
        for (const auto& permission : place.permissions) {
            Json p = Json::Object();
            p.Set("name", permission.name);
            p.Set("value", zyr::records::PermissionValueText(permission.bits));
            p.Set("roles", Strings(permission.roles));
            permissions.Push(std::move(p));
            table.AddRow(
                {place.place.Kind(), place.place.Path(), permission.name, RoleList(permission.roles)});
        }
        item.Set("permissions", std::move(permissions));
        accessJson.Push(std::move(item));
    }
    context.json.Set("access", std::move(accessJson));
    context.json.Set("note", zyr::records::kGrantsWhereStoredNote);

    context.text = RenderFields({{"Account", accountName},
                                 {"Groups", account.groups.empty() ? "none known" : RoleList(account.groups)},
                                 {"Roles", heldText.empty() ? "none" : heldText}}) +
                   "\n";
    context.text += places.empty() ? std::string("No permission is granted to this account") +
                                         (application.empty() ? "" : " in '" + application + "'") + ".\n"
                                   : table.Render();
    context.text += "\n" + std::string(zyr::records::kGrantsWhereStoredNote) + "\n";
    return kExitSuccess;
}

int ShowWhoCan(Context& context)
{
    const Invocation& invocation = context.invocation;
    if (!invocation.Has("app")) {
        return Fail(context, "Name the application with --app (and a group with --group, an object with "
                             "--object).");
    }
    if (invocation.Has("object") && !invocation.Has("group")) {
        return Fail(context, "An object is named within its group: give --group as well.");
    }
    CKVTApplList list;
    CKVTRoleList roles;
    Target target;
    if (!FetchOptionTarget(context, list, roles, target)) {
        return kExitFailed;
    }
    const std::string& name = invocation.arguments[0];
    const PermissionEntry* permission =
        zyr::records::FindPermissionByName(target.application->Permissions, name);
    if (permission == nullptr) {
        return Fail(context, "There is no permission '" + name + "' in the application '" +
                                 std::string(target.application->CN.view()) + "'.");
    }
    const uint32_t bits = zyr::records::PermissionBits(*permission);
    zyr::records::AccessPlace place{std::string(target.application->CN.view()), "", ""};
    if (target.group != nullptr) {
        place.group = std::string(target.group->CN.view());
    }
    if (target.object != nullptr) {
        place.object = std::string(target.object->CN.view());
    }
    const std::vector<AccessEntry>& acl = target.object != nullptr  ? target.object->ACL
                                          : target.group != nullptr ? target.group->ACL
                                                                    : target.application->ACL;
    const auto holders = zyr::records::WhoCan(acl, bits, roles);

    context.json.Set("place", PlaceJson(place));
    context.json.Set("permission",
                     Named(std::string(permission->Name.view()), zyr::records::PermissionValueText(bits)));
    Json holdersJson = Json::Array();
    TextTable table({"ROLE", "USERS", "GROUPS"});
    for (const auto& holder : holders) {
        Json item = Json::Object();
        item.Set("role", holder.role);
        item.Set("role_exists", holder.known);
        item.Set("users", Strings(holder.users));
        item.Set("groups", Strings(holder.groups));
        holdersJson.Push(std::move(item));
        table.AddRow({holder.known ? holder.role : holder.role + " (no such role)",
                      holder.users.empty() ? "-" : RoleList(holder.users),
                      holder.groups.empty() ? "-" : RoleList(holder.groups)});
    }
    context.json.Set("holders", std::move(holdersJson));
    context.json.Set("note", zyr::records::kGrantsWhereStoredNote);
    const std::string where = place.Kind() + " '" + place.Path() + "'";
    context.text =
        holders.empty()
            ? "No role holds '" + std::string(permission->Name.view()) + "' on the " + where + ".\n"
            : "'" + std::string(permission->Name.view()) + "' on the " + where + ":\n" + table.Render();
    context.text += "\n" + std::string(zyr::records::kGrantsWhereStoredNote) + "\n";
    return kExitSuccess;
}

int ReportAccess(Context& context)
{
    int days = zyr::records::kDefaultReviewDays;
    if (!ReadDays(context, days)) {
        return kExitFailed;
    }
    const std::string path = context.invocation.Option("output");
    if (path.empty()) {
        return Fail(context, "Name the report file with --output FILE.");
    }
    CKVTApplList list;
    CKVTRoleList roles;
    if (!FetchApplicationList(context, list) || !FetchRoleList(context, roles)) {
        return kExitFailed;
    }
    Progress progress(context);
    progress.Show("Reading the audit trail...");
    const zyr::records::AccessReview review =
        zyr::records::MakeAccessReview(list, roles, days, std::time(nullptr));
    progress.Done();
    if (const int error = zyr::records::SaveAccessReview(path, review, context.invocation.Has("csv"))) {
        return Fail(context, "The report '" + path + "' could not be written: " + std::strerror(error) + ".");
    }
    context.json.Set("file", path);
    context.json.Set("roles", static_cast<unsigned long>(review.roles.size()));
    context.json.Set("audit_records", static_cast<unsigned long>(review.audit.size()));
    context.json.Set("audit_complete", review.auditRead);
    context.text = "Wrote the access review to " + path + " (" + std::to_string(review.roles.size()) +
                   " roles, " + std::to_string(review.audit.size()) + " audit records of the last " +
                   std::to_string(days) + " days).\n";
    if (!review.auditRead) {
        context.ui.MessageBox(nullptr, "The audit trail could not be read completely; the report says so.",
                              Caption(), zyr::ui::MB_OK | zyr::ui::MB_ICONWARNING);
    }
    return kExitSuccess;
}

} // namespace zyr::zyrsec
