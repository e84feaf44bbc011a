#include "records/AccessReview.h"

#include "common/CsvField.h"
#include "common/KvtXml.h"
#include "common/RequestFrame.h"
#include "platform/file/FileContent.h"
#include "platform/text/CodePage.h"
#include "platform/text/Escape.h"
#include "platform/text/LocalTime.h"
#include "records/Application.h"
#include "records/ConsoleAccess.h"
#include "records/SecureGroup.h"
#include "roles/Role.h"
#include "roles/RoleList.h"
#include "web/WebPage.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace zyr::records {

namespace {

std::string Joined(const std::vector<std::string>& names, const char* separator = ", ")
{
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : separator) + name;
    }
    return text;
}

std::string PermissionNames(const PlaceAccess& place)
{
    std::vector<std::string> names;
    for (const auto& permission : place.permissions) {
        names.push_back(permission.name);
    }
    return Joined(names);
}

std::string MemberText(const std::vector<std::string>& users, const std::vector<std::string>& groups)
{
    std::vector<std::string> members = users;
    for (const auto& group : groups) {
        members.push_back("group " + group);
    }
    return members.empty() ? std::string("no members") : Joined(members);
}

void Row(std::string& html, std::initializer_list<std::string_view> cells)
{
    html += "<tr>";
    for (std::string_view cell : cells) {
        html += "<td>" + EscapeHtml(cell) + "</td>";
    }
    html += "</tr>\n";
}

void Header(std::string& html, std::initializer_list<std::string_view> cells)
{
    html += "<table><thead><tr>";
    for (std::string_view cell : cells) {
        html += "<th>" + EscapeHtml(cell) + "</th>";
    }
    html += "</tr></thead><tbody>\n";
}

void CsvRow(std::string& csv, std::initializer_list<std::string_view> cells)
{
    bool first = true;
    for (std::string_view cell : cells) {
        csv += (first ? "" : ",") + zyr::CsvField(cell);
        first = false;
    }
    csv += "\r\n";
}

const char* const kStyle = "body{font-family:sans-serif;font-size:10pt;margin:1.5em;color:#000}"
                           "h1{font-size:16pt}h2{font-size:13pt;margin-top:1.6em}h3{font-size:11pt}"
                           "table{border-collapse:collapse;width:100%;margin:.4em 0 1em}"
                           "th,td{border:1px solid #888;padding:2px 5px;text-align:left;vertical-align:top;"
                           "overflow-wrap:anywhere}th{background:#e8e8e8}"
                           ".note{font-style:italic}.value{font-family:monospace;font-size:8pt;"
                           "white-space:pre-wrap}"
                           "@media print{body{margin:0}h2{break-after:avoid}tr{break-inside:avoid}}";

} // namespace

std::string AuditTimeText(std::time_t when)
{
    return zyr::text::LocalTimeText(when);
}

bool FetchAuditSince(std::string_view serverUrl, const std::string& since, std::vector<AuditEntry>& entries)
{
    AuditFilter filter;
    filter.from = since;
    for (long page = 0;; ++page) {
        std::vector<AuditEntry> records;
        std::string why;
        if (FAILED(FetchAuditPage(serverUrl, filter, page, records, why))) {
            return false;
        }
        entries.insert(entries.end(), std::make_move_iterator(records.begin()),
                       std::make_move_iterator(records.end()));
        if (records.size() < kAuditPageSize) {
            return true;
        }
    }
}

AccessReview BuildAccessReview(const CKVTApplList& applications, const CKVTRoleList& roles)
{
    AccessReview review;
    for (const auto& role : roles.Roles()) {
        RoleReview item;
        item.name = std::string(role->CN.view());
        item.description = std::string(role->Description.view());
        for (const auto& user : role->MemberUsers()) {
            item.users.emplace_back(user->Name.view());
        }
        for (const auto& group : role->MemberGroups()) {
            item.groups.emplace_back(group->Name.view());
        }
        item.grants = EffectiveAccess(applications, {{item.name, ""}});
        review.roles.push_back(std::move(item));
    }
    review.consoleSecured =
        ConsoleAccess::Of(applications, roles).Judge() != ConsoleAccess::State::NotSecured;
    review.consoleOpeners = ConsoleOpeners(applications, roles);

    auto unknown = [&](const CKVTAppl& application, AccessPlace place, const std::vector<AccessEntry>& acl) {
        std::vector<std::string> names;
        for (const auto& entry : acl) {
            if (entry.Mask != 0 && roles.FindByName(entry.RoleName.view()) == nullptr) {
                names.emplace_back(entry.RoleName.view());
            }
        }
        if (names.empty()) {
            return;
        }
        PlaceAccess access{std::move(place), 0, GrantedPermissions(acl, application, &names)};
        if (!access.permissions.empty()) {
            review.unknownRoleGrants.push_back(std::move(access));
        }
    };
    for (const auto& a : applications.Applications) {
        const std::string app(a->CN.view());
        unknown(*a, {app, "", ""}, a->ACL);
        for (const auto& g : a->Groups) {
            unknown(*a, {app, std::string(g->CN.view()), ""}, g->ACL);
            for (const auto& o : g->Objects) {
                unknown(*a, {app, std::string(g->CN.view()), std::string(o->CN.view())}, o->ACL);
            }
        }
    }
    return review;
}

AccessReview MakeAccessReview(const CKVTApplList& applications, const CKVTRoleList& roles, int days,
                              std::time_t now)
{
    AccessReview review = BuildAccessReview(applications, roles);
    review.server = std::string(applications.ServerUrlText());
    review.generated = AuditTimeText(now);
    review.madeBy = zyr::CurrentUserName();
    review.days = days;
    review.auditRead =
        FetchAuditSince(applications.ServerUrlText(),
                        AuditTimeText(now - static_cast<std::time_t>(days) * 86400), review.audit);
    return review;
}

int SaveAccessReview(const std::string& path, const AccessReview& review, bool csv)
{
    const zyr::file::SaveResult saved =
        zyr::file::SaveFileAtomically(path, csv ? AccessReviewCsv(review) : AccessReviewHtml(review), 0600);
    if (!saved.ok()) {
        return saved.error != 0 ? saved.error : EIO;
    }
    // A file it replaced keeps its mode; the review is for its owner alone.
    return ::chmod(path.c_str(), 0600) == 0 ? 0 : errno;
}

std::string EscapeHtml(std::string_view text)
{
    std::string escaped = zyr::text::XmlEscaped(text);
    // Control characters would not print; they are shown as a mark.
    for (char& c : escaped) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
            c = '?';
        }
    }
    return escaped;
}

std::string AccessReviewHtml(const AccessReview& review)
{
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                       "style-src 'unsafe-inline'\">"
                       "<title>Access review of " +
                       EscapeHtml(review.server) + "</title><style>" + kStyle + "</style></head><body>\n";
    html += "<h1>Access review</h1>\n<table>";
    Row(html, {"Security server", review.server});
    Row(html, {"Made", review.generated});
    Row(html, {"Made by", review.madeBy});
    Row(html, {"Audit period", "the last " + std::to_string(review.days) + " days"});
    html += "</table>\n<p class=\"note\">" + EscapeHtml(kGrantsWhereStoredNote) + "</p>\n";

    html += "<h2>Accounts that may open the security console</h2>\n";
    if (!review.consoleSecured) {
        html += "<p>The console object has no access-control list: every account that signs in may open "
                "the console.</p>\n";
    } else if (review.consoleOpeners.empty()) {
        html += "<p>No role is granted Open on the console object: no account may open the console.</p>\n";
    } else {
        Header(html, {"Role", "Members"});
        for (const auto& holder : review.consoleOpeners) {
            Row(html, {holder.role, holder.known ? MemberText(holder.users, holder.groups)
                                                 : std::string("(no such role)")});
        }
        html += "</tbody></table>\n";
    }

    html += "<h2>Roles</h2>\n";
    if (review.roles.empty()) {
        html += "<p>There are no roles.</p>\n";
    }
    for (const auto& role : review.roles) {
        html += "<h3>" + EscapeHtml(role.name) + "</h3>\n<table>";
        Row(html, {"Description", role.description});
        Row(html, {"User members", role.users.empty() ? std::string("none") : Joined(role.users)});
        Row(html, {"Group members", role.groups.empty() ? std::string("none") : Joined(role.groups)});
        html += "</table>\n";
        if (role.grants.empty()) {
            html += "<p>Granted nothing.</p>\n";
            continue;
        }
        Header(html, {"Kind", "Where", "Permissions"});
        for (const auto& grant : role.grants) {
            Row(html, {grant.place.Kind(), grant.place.Path(), PermissionNames(grant)});
        }
        html += "</tbody></table>\n";
    }

    if (!review.unknownRoleGrants.empty()) {
        html += "<h2>Entries naming roles that do not exist</h2>\n";
        Header(html, {"Kind", "Where", "Permission", "Roles"});
        for (const auto& grant : review.unknownRoleGrants) {
            for (const auto& permission : grant.permissions) {
                Row(html,
                    {grant.place.Kind(), grant.place.Path(), permission.name, Joined(permission.roles)});
            }
        }
        html += "</tbody></table>\n";
    }

    html += "<h2>Audit records of the last " + std::to_string(review.days) + " days</h2>\n";
    if (!review.auditRead) {
        html += "<p><strong>The audit trail could not be read completely; the records below are those read "
                "before the failure.</strong></p>\n";
    }
    if (review.audit.empty()) {
        html += "<p>No audit records in this period.</p>\n";
    } else {
        Header(html, {"Time", "User", "Computer", "Object", "Operation", "Name", "Old value", "New value"});
        for (const auto& record : review.audit) {
            html += "<tr>";
            for (std::string_view cell :
                 {std::string_view(record.time), std::string_view(record.user),
                  std::string_view(record.computer), std::string_view(record.object),
                  std::string_view(record.operation), std::string_view(record.name)}) {
                html += "<td>" + EscapeHtml(cell) + "</td>";
            }
            html += "<td class=\"value\">" + EscapeHtml(record.oldValue) + "</td><td class=\"value\">" +
                    EscapeHtml(record.newValue) + "</td></tr>\n";
        }
        html += "</tbody></table>\n";
    }
    html += "</body></html>\n";
    return html;
}

std::string AccessReviewCsv(const AccessReview& review)
{
    std::string csv;
    CsvRow(csv, {"Section", "Role", "Account", "Kind", "Where", "Permissions", "Time", "User", "Computer",
                 "Object", "Operation", "Name"});
    CsvRow(csv, {"review", "", review.madeBy, "", review.server, "", review.generated});
    for (const auto& role : review.roles) {
        for (const auto& user : role.users) {
            CsvRow(csv, {"member", role.name, user, "user"});
        }
        for (const auto& group : role.groups) {
            CsvRow(csv, {"member", role.name, group, "group"});
        }
        for (const auto& grant : role.grants) {
            CsvRow(csv,
                   {"grant", role.name, "", grant.place.Kind(), grant.place.Path(), PermissionNames(grant)});
        }
    }
    for (const auto& holder : review.consoleOpeners) {
        CsvRow(csv, {"console", holder.role, MemberText(holder.users, holder.groups)});
    }
    for (const auto& grant : review.unknownRoleGrants) {
        for (const auto& permission : grant.permissions) {
            CsvRow(csv, {"unknown role", Joined(permission.roles), "", grant.place.Kind(), grant.place.Path(),
                         permission.name});
        }
    }
    for (const auto& record : review.audit) {
        CsvRow(csv, {"audit", "", "", "", "", "", record.time, record.user, record.computer, record.object,
                     record.operation, record.name});
    }
    return csv;
}

} // namespace zyr::records
