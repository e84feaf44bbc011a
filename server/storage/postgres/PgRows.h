// The rows the PostgreSQL store inserts: records with their children in
// few statements, log entries with their counts.
#pragma once

#include "server/storage/Records.h"
#include "server/storage/postgres/PgConnection.h"

#include <map>
#include <string>
#include <vector>

namespace zyr::server::pg {

// Adds counts to the day, hour and minute buckets ("YYYY-MM-DD HH:MM" keys).
bool AddBuckets(Connection& c, const std::map<std::string, int64_t>& minutes);
bool InsertLog(Connection& c, const LogEntry& e);
// An application's fields as the insert and the update bind them: name,
// description, permissions and access-control list, plain and encrypted.
Params ApplicationFields(const ApplicationRecord& a);
// The new record's id, -1 on failure.
int64_t InsertApplication(Connection& c, const ApplicationRecord& a);
int64_t InsertGroup(Connection& c, int64_t applId, const GroupRecord& g);
// The objects of one group in one statement, in their order.
bool InsertObjects(Connection& c, int64_t groupId, const std::vector<ObjectRecord>& objects);
// The application with its groups and objects.
bool InsertTree(Connection& c, const ApplicationRecord& a);
// The member lists of a role, in their order.
bool InsertMembers(Connection& c, int64_t roleId, const RoleRecord& role);
int64_t InsertRole(Connection& c, const RoleRecord& role);

} // namespace zyr::server::pg
