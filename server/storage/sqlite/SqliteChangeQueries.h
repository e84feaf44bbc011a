// The statements of the shared change steps on the SQLite writer, and their SQL.
#pragma once

#include "server/storage/ChangeSteps.h"
#include "server/storage/sqlite/SqliteConnection.h"

#include <memory>

namespace zyr::server::sqlite {

extern const ChangeSql kChangeSql;

bool WriteAudit(StatementCache& db, const AuditRecord& a);

// The shared change steps' statements on the writer's statement cache.
std::unique_ptr<ChangeQueries> MakeChangeQueries(StatementCache& db);

} // namespace zyr::server::sqlite
