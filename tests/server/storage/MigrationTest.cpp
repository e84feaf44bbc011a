// Schema migrations on both backends: an empty database gets every step once,
// a database left at the previous step is brought up to date with its data,
// a database of a newer server is refused.
#include "tests/server/ServerFixture.h"

#include "server/storage/postgres/PgConnection.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace zyr::server::test {
namespace {

class MigrationTest : public BackendTest {
protected:
    // Runs statements on the database outside the store.
    void Sql(const std::string& sql)
    {
        if (GetParam() == Backend::Sqlite) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(database.location().c_str(), &db), SQLITE_OK);
            char* error = nullptr;
            EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
            sqlite3_free(error);
            sqlite3_close(db);
        } else {
            pg::Connection c(database.location(), true);
            EXPECT_TRUE(c.Script(sql)) << c.Error();
        }
    }
    // The first column of the first row of a query.
    std::string Value(const std::string& sql)
    {
        std::string out;
        if (GetParam() == Backend::Sqlite) {
            sqlite3* db = nullptr;
            EXPECT_EQ(sqlite3_open(database.location().c_str(), &db), SQLITE_OK);
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW) {
                out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            }
            sqlite3_finalize(s);
            sqlite3_close(db);
        } else {
            pg::Connection c(database.location(), true);
            pg::Result r;
            EXPECT_TRUE(c.Run(sql.c_str(), &r)) << c.Error();
            out = r.Rows() ? r.Text(0, 0) : "";
        }
        return out;
    }
    // SQLite has one step more: the audit table's guard against a replacing insert.
    std::string Latest() const { return GetParam() == Backend::Sqlite ? "5:5" : "4:4"; }
    std::string Versions() { return Value("SELECT COUNT(*) || ':' || MAX(version) FROM schema_version"); }
    std::string AuditTimeIndexes()
    {
        return Value(GetParam() == Backend::Sqlite
                         ? "SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND name='audit_time'"
                         : "SELECT COUNT(*) FROM pg_indexes WHERE indexname='audit_time'");
    }

    TestDatabase database{GetParam()};
};

TEST_P(MigrationTest, AnEmptyDatabaseGetsEveryStepOnce)
{
    std::string reason;
    auto store = database.Open(reason);
    ASSERT_TRUE(store) << reason;
    bool empty = false;
    ASSERT_TRUE(store->IsEmpty(empty));
    EXPECT_TRUE(empty);
    store.reset();
    EXPECT_EQ(Versions(), Latest());
    EXPECT_EQ(AuditTimeIndexes(), "1");

    store = database.Open(reason);
    ASSERT_TRUE(store) << reason;
    store.reset();
    EXPECT_EQ(Versions(), Latest());
}

TEST_P(MigrationTest, APreviousVersionIsBroughtUpToDateWithItsData)
{
    std::string reason;
    {
        auto store = database.Open(reason);
        ASSERT_TRUE(store) << reason;
        AuditRecord audit{"2026-01-01 00:00:00", "CORP\\jdoe", "PC01", "Role", "Add", "{r}",
                          "Operators",           "",           ""};
        ASSERT_EQ(store->AddRole({"{r}", "Operators", "Shift", {"CORP\\a", "CORP\\b"}, {"CORP\\ops"}}, audit),
                  StoreResult::Ok);
    }
    // What the previous server left: the first step only.
    Sql(std::string(GetParam() == Backend::Sqlite
                        ? "DROP TRIGGER audit_kept_on_replace; DROP TRIGGER audit_name_kept;"
                        : "DROP TRIGGER audit_name_kept ON audit; DROP FUNCTION audit_name_keep;") +
        "DROP INDEX audit_time; DROP INDEX audit_name_time; DROP TABLE audit_name;"
        " DELETE FROM schema_version WHERE version>=2;");
    ASSERT_EQ(Versions(), "1:1");

    auto store = database.Open(reason);
    ASSERT_TRUE(store) << reason;
    EXPECT_EQ(Versions(), Latest());
    EXPECT_EQ(AuditTimeIndexes(), "1");
    std::vector<RoleRecord> roles;
    ASSERT_TRUE(store->ListRoles(roles));
    ASSERT_EQ(roles.size(), 1u);
    EXPECT_EQ(roles[0].memberUsers, (std::vector<std::string>{"CORP\\a", "CORP\\b"}));
    EXPECT_EQ(roles[0].memberGroups, (std::vector<std::string>{"CORP\\ops"}));
    // The audit trail goes on where it stopped.
    AuditRecord audit{"2026-01-02 00:00:00", "CORP\\jdoe", "PC01", "Role", "Delete", "{r}",
                      "Operators",           "",           ""};
    ASSERT_EQ(store->DeleteRole("{r}", audit), StoreResult::Ok);
    std::vector<AuditRecord> trail;
    ASSERT_TRUE(store->GetAuditPage(0, trail));
    ASSERT_EQ(trail.size(), 2u);
    EXPECT_EQ(trail[0].operation, "Delete");
    EXPECT_EQ(trail[1].operation, "Add");
    // Names written before the step are found by a part of the name.
    trail.clear();
    AuditFilter named;
    named.name = "perat";
    ASSERT_TRUE(store->GetAuditPage(named, 0, trail));
    EXPECT_EQ(trail.size(), 2u);
}

TEST_P(MigrationTest, ANewerSchemaIsRefused)
{
    std::string reason;
    ASSERT_TRUE(database.Open(reason)) << reason;
    Sql("INSERT INTO schema_version(version) VALUES(99)");
    EXPECT_FALSE(database.Open(reason));
    EXPECT_NE(reason.find("newer"), std::string::npos) << reason;
}

ZYR_ON_BOTH_BACKENDS(MigrationTest);

} // namespace
} // namespace zyr::server::test
