// The reads of the SQLite store that span tables, run on a reader connection
// inside one read transaction.
#pragma once

#include "server/storage/Records.h"
#include "server/storage/sqlite/SqliteConnection.h"

#include <vector>

namespace zyr::server::sqlite {

// The kind column of role_member.
inline constexpr int kMemberUser = 0;
inline constexpr int kMemberGroup = 1;

// Every application, or the one named when named is not empty.
bool ReadApplications(sqlite3* db, std::vector<ApplicationRecord>& out, const std::string& named = {});
bool ReadRoles(sqlite3* db, std::vector<RoleRecord>& out);
// Finds, walking the day, hour and minute counts from the newest, the minute
// that holds entry number `skip` of the range; the page is then read from the
// time index with an offset smaller than that minute's count.
bool ReadLogPage(sqlite3* db, const TimeRange& range, int64_t page, std::vector<LogEntry>& out);
// A page of the audit records the filter admits, by time from the newest,
// through the time, user and object indexes.
bool ReadAuditPage(sqlite3* db, const AuditFilter& filter, int64_t page, std::vector<AuditRecord>& out);

} // namespace zyr::server::sqlite
