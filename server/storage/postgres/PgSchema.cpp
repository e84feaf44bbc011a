#include "server/storage/Migrations.h"
#include "server/storage/postgres/PgConnection.h"

namespace zyr::server::pg {

namespace {

// Serialises schema migrations of servers that start together.
constexpr int64_t kMigrationLock = 0x7a79725f736368; // "zyr_sch"

} // namespace

bool Migrate(Connection& c, std::string& reason)
{
    auto fail = [&](const std::string& what) {
        reason = what + ": " + c.Error();
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
            reason.pop_back();
        }
        c.Script("ROLLBACK");
        c.Run("SELECT pg_advisory_unlock($1)", Params().Add(kMigrationLock));
        return false;
    };
    if (!c.Run("SELECT pg_advisory_lock($1)", Params().Add(kMigrationLock))) {
        return fail("the schema cannot be locked");
    }
    if (!c.Script("CREATE TABLE IF NOT EXISTS schema_version(version integer NOT NULL)")) {
        return fail("the schema version cannot be read");
    }
    Result r;
    if (!c.Run("SELECT COALESCE(MAX(version),0) FROM schema_version", &r) || r.Rows() != 1) {
        return fail("the schema version cannot be read");
    }
    int64_t current = r.Int(0, 0);
    std::span<const char* const> steps = PgMigrations();
    const int64_t known = static_cast<int64_t>(steps.size());
    if (current > known) {
        reason = "the database was written by a newer server (schema " + std::to_string(current) + ")";
        c.Run("SELECT pg_advisory_unlock($1)", Params().Add(kMigrationLock));
        return false;
    }
    for (int64_t v = current + 1; v <= known; ++v) {
        if (!c.Script("BEGIN") || !c.Script(steps[static_cast<size_t>(v - 1)]) ||
            !c.Run("INSERT INTO schema_version(version) VALUES($1)", Params().Add(v)) ||
            !c.Script("COMMIT")) {
            return fail("schema migration " + std::to_string(v) + " failed");
        }
    }
    c.Run("SELECT pg_advisory_unlock($1)", Params().Add(kMigrationLock));
    return true;
}

} // namespace zyr::server::pg
