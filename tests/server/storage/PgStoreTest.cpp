// The PostgreSQL store on its own: the audit trail's protection, connection
// strings told from paths, and two stores writing the same records at once.
#include "tests/server/ServerFixture.h"

#include "server/storage/postgres/PgConnection.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>

namespace zyr::server::test {
namespace {

TEST(PgConnectionTest, ConnectionStringsAreToldFromPaths)
{
    EXPECT_TRUE(pg::IsConnectionString("postgresql://zyr@db.plant:5432/security"));
    EXPECT_TRUE(pg::IsConnectionString("postgres://db/security"));
    EXPECT_TRUE(pg::IsConnectionString("host=db.plant dbname=security"));
    EXPECT_FALSE(pg::IsConnectionString("/var/lib/zyr/security.db"));
    EXPECT_FALSE(pg::IsConnectionString("security.db"));
    EXPECT_FALSE(pg::IsConnectionString("./a=b.db"));
    EXPECT_EQ(pg::ArrayLiteral({"a", "b\"c", "d\\e", ""}), R"({"a","b\"c","d\\e",""})");
}

class PgStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (PgTestCluster().empty()) {
            GTEST_SKIP() << "no PostgreSQL test cluster (ZYR_TEST_PG)";
        }
        std::string reason;
        for (auto& store : stores) {
            store = database.Open(reason, 4);
            ASSERT_TRUE(store) << reason;
        }
    }
    static AuditRecord Audit(const std::string& operation)
    {
        return {"2026-01-01 00:00:00", "CORP\\jdoe", "PC01", "Role", operation, "{r}", "", "", ""};
    }

    TestDatabase database{Backend::Postgres};
    std::unique_ptr<SecurityStore> stores[2];
};

TEST_F(PgStoreTest, AuditRecordsCannotBeChangedOrRemoved)
{
    ASSERT_EQ(stores[0]->AppendAudit(Audit("Send")), StoreResult::Ok);
    pg::Connection c(database.location(), true);
    EXPECT_FALSE(c.Script("UPDATE audit SET who='x'"));
    EXPECT_FALSE(c.Script("DELETE FROM audit"));
    EXPECT_FALSE(c.Script("TRUNCATE audit"));
    std::vector<AuditRecord> trail;
    ASSERT_TRUE(stores[1]->GetAuditPage(0, trail));
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0].user, "CORP\\jdoe");
}

// Many updates of one role from both stores: each leaves the role with one
// whole member list, never a mix, and one audit record.
TEST_F(PgStoreTest, ConcurrentUpdatesOfOneRoleNeverMixTheirMembers)
{
    ASSERT_EQ(stores[0]->AddRole({"{r}", "Role", "", {}, {}}, Audit("Add")), StoreResult::Ok);
    const int threads = 6, rounds = 90; // more changes than a server makes between placings
    std::latch go(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            go.arrive_and_wait();
            for (int i = 0; i < rounds; ++i) {
                std::string tag = std::to_string(t) + "." + std::to_string(i);
                RoleRecord role{"{r}", "Role", tag, {"u" + tag, "v" + tag}, {"g" + tag}};
                EXPECT_EQ(stores[t % 2]->UpdateRole(role, Audit("Update")), StoreResult::Ok);
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    std::vector<RoleRecord> roles;
    ASSERT_TRUE(stores[1]->ListRoles(roles));
    ASSERT_EQ(roles.size(), 1u);
    const std::string& tag = roles[0].description;
    EXPECT_EQ(roles[0].memberUsers, (std::vector<std::string>{"u" + tag, "v" + tag}));
    EXPECT_EQ(roles[0].memberGroups, (std::vector<std::string>{"g" + tag}));
    // The audit trail is dense: its pages hold every record once.
    size_t records = 0;
    std::vector<AuditRecord> page;
    for (int64_t p = 0; stores[0]->GetAuditPage(p, page) && !page.empty(); ++p) {
        records += page.size();
    }
    EXPECT_EQ(records, 1u + threads * rounds);
}

// A range larger than one delete batch goes entirely, with one audit record,
// and the entries outside it keep their pages.
TEST_F(PgStoreTest, ARangeDeleteLargerThanABatchRemovesItAll)
{
    auto bulk = stores[0]->BeginBulk();
    const int days = 5, perDay = 6000;
    for (int d = 0; d < days; ++d) {
        for (int i = 0; i < perDay; ++i) {
            char time[32];
            std::snprintf(time, sizeof time, "2026-03-%02d %02d:%02d:%02d", 10 + d, i / 600 % 24, i / 10 % 60,
                          i % 60);
            ASSERT_TRUE(bulk->Log({time, "CORP\\u" + std::to_string(i), "Logon", "Success", "PC01"}));
        }
    }
    ASSERT_TRUE(bulk->Commit());
    int64_t removed = 0;
    ASSERT_EQ(stores[1]->DeleteLogs({"2026-03-11 00:00:00", "2026-03-14 00:00:00"}, Audit("Del"), removed),
              StoreResult::Ok);
    EXPECT_EQ(removed, 3 * perDay);
    std::vector<LogEntry> page;
    ASSERT_TRUE(stores[0]->GetLogPage({}, 0, page));
    ASSERT_EQ(page.size(), static_cast<size_t>(kPageSize));
    EXPECT_EQ(page[0].time.substr(0, 10), "2026-03-14");
    // The last page of the day before the range follows the first day after it.
    ASSERT_TRUE(stores[0]->GetLogPage({}, perDay / kPageSize, page));
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page[0].time.substr(0, 10), "2026-03-10");
    ASSERT_TRUE(stores[0]->GetLogPage({}, 2 * perDay / kPageSize, page));
    EXPECT_TRUE(page.empty());
    std::vector<AuditRecord> trail;
    ASSERT_TRUE(stores[0]->GetAuditPage(0, trail));
    EXPECT_EQ(trail.size(), 1u);
}

} // namespace
} // namespace zyr::server::test
