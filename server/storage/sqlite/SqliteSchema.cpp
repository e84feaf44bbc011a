#include "server/storage/Migrations.h"
#include "server/storage/sqlite/SqliteConnection.h"

namespace zyr::server::sqlite {

bool Migrate(sqlite3* db, std::string& reason)
{
    if (!Exec(db, "CREATE TABLE IF NOT EXISTS schema_version(version INTEGER NOT NULL);")) {
        reason = sqlite3_errmsg(db);
        return false;
    }
    int64_t current = 0;
    {
        Statement s(db, "SELECT IFNULL(MAX(version),0) FROM schema_version");
        if (s.Step() != SQLITE_ROW) {
            reason = sqlite3_errmsg(db);
            return false;
        }
        current = s.Int(0);
    }
    std::span<const char* const> steps = SqliteMigrations();
    const int64_t known = static_cast<int64_t>(steps.size());
    if (current > known) {
        reason = "the database was written by a newer server (schema " + std::to_string(current) + ")";
        return false;
    }
    for (int64_t v = current + 1; v <= known; ++v) {
        Transaction tx(db);
        Statement record(db, "INSERT INTO schema_version(version) VALUES(?)");
        record.Bind(1, v);
        if (!tx.active() || !Exec(db, steps[static_cast<size_t>(v - 1)]) || !record.Run() || !tx.Commit()) {
            reason = "schema migration " + std::to_string(v) + " failed: " + sqlite3_errmsg(db);
            return false;
        }
    }
    return true;
}

} // namespace zyr::server::sqlite
