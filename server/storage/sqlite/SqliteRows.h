// Rows the SQLite writer inserts for more than one kind of change: log
// entries with their counts, and the members of a role.
#pragma once

#include "server/storage/Records.h"
#include "server/storage/sqlite/SqliteConnection.h"

namespace zyr::server::sqlite {

// Keeps the day, hour and minute counts of the log in step with its entries.
bool CountLog(StatementCache& db, const std::string& time, int64_t delta);
bool InsertLog(StatementCache& db, const LogEntry& e);
bool InsertMembers(StatementCache& db, int64_t roleId, const RoleRecord& role);

} // namespace zyr::server::sqlite
