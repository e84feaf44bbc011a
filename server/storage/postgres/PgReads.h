// The reads of the PostgreSQL store that span tables, run inside one
// REPEATABLE READ snapshot.
#pragma once

#include "server/storage/Records.h"
#include "server/storage/postgres/PgConnection.h"

#include <vector>

namespace zyr::server::pg {

// The kind column of role_member.
inline constexpr int kMemberUser = 0;
inline constexpr int kMemberGroup = 1;

// Every application, or the one named when named is not empty.
bool ReadApplications(Connection& c, std::vector<ApplicationRecord>& out, const std::string& named = {});
bool ReadRoles(Connection& c, std::vector<RoleRecord>& out);
// Finds, walking the day, hour and minute counts from the newest, the minute
// that holds entry number `skip` of the range; the page is then read from the
// time index with an offset smaller than that minute's count.
bool ReadLogPage(Connection& c, const TimeRange& range, int64_t page, std::vector<LogEntry>& out);
// A page of the placed audit records the filter admits, by time from the
// newest, through the time, user and object indexes.
bool ReadAuditPage(Connection& c, const AuditFilter& filter, int64_t page, std::vector<AuditRecord>& out);

} // namespace zyr::server::pg
