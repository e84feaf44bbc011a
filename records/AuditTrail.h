// The audit trail of the security server, read a page at a time: every change
// with who made it, from where, and its old and new values. A page that cannot
// be read is a failure with its reason, never an empty page.
#pragma once

#include "cache/AuditFilter.h"
#include "platform/com/WinTypes.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::records {

// One record as the server lists it.
struct AuditEntry {
    std::string time; // "YYYY-MM-DD HH:MM:SS", the server's local time
    std::string user;
    std::string computer;
    std::string object;    // the kind of record: Appl, SecGroup, SecObj, Role, Log, KVTAPI, Audit, ...
    std::string operation; // Add, Update, Delete, Del, ApplImp, Send, ...
    std::string identity;
    std::string name;
    std::string oldValue; // the value documents the change sent (see AuditChange.h)
    std::string newValue;
};

using zyr::audittrail::AuditFilter;

// Records a page holds at most, newest first.
inline constexpr size_t kAuditPageSize = 50;

// The request for page `page` (from 0) of the trail the filter narrows.
std::string AuditPageUrl(std::string_view serverUrl, const AuditFilter& filter, long page);

// The records of a KVTAUDIT reply. False, with the reason, for any other
// reply (the server's "Error: ..." text is the reason as it stands).
bool ParseAuditPage(std::string reply, std::vector<AuditEntry>& out, std::string& why);

// Fetches a page: S_OK with its records (empty only when the trail holds no
// more); a failure, with the reason for the administrator, when the server is
// not configured or not reached, refuses the filter, or answers no trail.
HRESULT FetchAuditPage(std::string_view serverUrl, const AuditFilter& filter, long page,
                       std::vector<AuditEntry>& out, std::string& why);

// "Time,User,Computer,Object,Operation,Name,Change" and one row per record,
// the change as ChangeSummary gives it (common/CsvField.h), rows ending in lineEnd.
std::string FormatAuditCsv(std::span<const AuditEntry> entries, std::string_view lineEnd = "\r\n");

} // namespace zyr::records
