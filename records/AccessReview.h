// The access review: every role with its members and what it is granted
// where, the accounts that may open the security console, and the audit
// records of the last days, as one self-contained printable HTML page (no
// script, no link outside the page) or as comma-separated values.
#pragma once

#include "records/AuditTrail.h"
#include "records/EffectiveAccess.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

class CKVTApplList;
class CKVTRoleList;

namespace zyr::records {

// The audit period of a review when none is asked for.
constexpr int kDefaultReviewDays = 30;

// The audit trail's time text of a moment, in this computer's local time.
std::string AuditTimeText(std::time_t when);

// Reads the audit trail page by page, newest first, narrowed on the server
// to the records whose time is since or later, up to a page that is not full. False when a page could not be
// fetched or read (entries then hold the records read before it).
bool FetchAuditSince(std::string_view serverUrl, const std::string& since, std::vector<AuditEntry>& entries);

struct RoleReview {
    std::string name;
    std::string description;
    std::vector<std::string> users;
    std::vector<std::string> groups;
    std::vector<PlaceAccess> grants;
};

struct AccessReview {
    std::string server;
    std::string generated; // the time the review was made
    std::string madeBy;    // the signed-in account
    int days = 0;
    std::vector<RoleReview> roles;
    bool consoleSecured = false; // false: no list on the console object stops anybody
    std::vector<PermissionHolder> consoleOpeners;
    // Entries of access-control lists naming a role the role list does not hold.
    std::vector<PlaceAccess> unknownRoleGrants;
    bool auditRead = false;
    std::vector<AuditEntry> audit;
};

// The roles, their grants and the console's openers from the fetched lists;
// the caller fills in the rest.
AccessReview BuildAccessReview(const CKVTApplList& applications, const CKVTRoleList& roles);

// The whole review: the lists' roles and grants, the server of the
// application list, now, the signed-in account, and the audit records of the
// last days read from the server.
AccessReview MakeAccessReview(const CKVTApplList& applications, const CKVTRoleList& roles, int days,
                              std::time_t now);

// Writes the review, as CSV or as the HTML page, readable by its owner alone
// (also over an older file); 0 or the errno value of the failure.
int SaveAccessReview(const std::string& path, const AccessReview& review, bool csv);

std::string EscapeHtml(std::string_view text);
std::string AccessReviewHtml(const AccessReview& review);
// One row a grant, a member, a console opener and an audit record, under one
// header; rows end with a carriage return and a line feed.
std::string AccessReviewCsv(const AccessReview& review);

} // namespace zyr::records
