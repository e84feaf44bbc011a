// The SQLite store on its own: log pages against a plain sort of the same
// entries (also after deletions), the audit trail's protection, reopening.
#include "tests/server/ServerFixture.h"

#include "server/service/LogTime.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

namespace zyr::server::test {
namespace {

class LogPagingTest : public BackendTest {
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        // Entries over three days, bunched into a few minutes and seconds so
        // that pages cross minute, hour and day boundaries and share seconds.
        std::mt19937 random(7);
        const std::time_t base = 1796000000;
        auto bulk = f.store->BeginBulk();
        for (int i = 0; i < 1400; ++i) {
            std::time_t when = base + static_cast<std::time_t>(random() % (3 * 24 * 12)) * 300 + random() % 3;
            LogEntry e{FormatLocalTime(when), "CORP\\u" + std::to_string(i), "Logon",
                       i % 7 ? "Success" : "Failed", "PC01"};
            ASSERT_TRUE(bulk->Log(e));
            all.push_back({e, i});
        }
        ASSERT_TRUE(bulk->Commit());
    }

    // The page as a plain sort would give it: newest first, later insertions first within a second.
    std::vector<std::string> Expected(const TimeRange& range, int64_t page)
    {
        std::vector<std::pair<LogEntry, int>> in;
        for (const auto& e : all) {
            if (e.first.time >= range.from && (range.to.empty() || e.first.time < range.to)) {
                in.push_back(e);
            }
        }
        std::sort(in.begin(), in.end(), [](const auto& a, const auto& b) {
            return a.first.time != b.first.time ? a.first.time > b.first.time : a.second > b.second;
        });
        std::vector<std::string> out;
        for (size_t i = page * kPageSize; i < in.size() && out.size() < kPageSize; ++i) {
            out.push_back(in[i].first.time + " " + in[i].first.user);
        }
        return out;
    }

    std::vector<std::string> Actual(const TimeRange& range, int64_t page)
    {
        std::vector<LogEntry> entries;
        EXPECT_TRUE(f.store->GetLogPage(range, page, entries));
        std::vector<std::string> out;
        for (const auto& e : entries) {
            out.push_back(e.time + " " + e.user);
        }
        return out;
    }

    void ExpectAllPages(const TimeRange& range)
    {
        for (int64_t page = 0; page <= static_cast<int64_t>(all.size()) / kPageSize + 1; ++page) {
            ASSERT_EQ(Actual(range, page), Expected(range, page))
                << "page " << page << " from " << range.from;
        }
    }

    std::string Day(int offset)
    {
        std::string day = FormatLocalTime(1796000000 + offset * 24 * 3600).substr(0, 10);
        return day + " 00:00:00";
    }

    ServerFixture f{GetParam()};
    std::vector<std::pair<LogEntry, int>> all;
};

TEST_P(LogPagingTest, PagesMatchAPlainSortWithAndWithoutRange)
{
    ExpectAllPages({});
    ExpectAllPages({Day(1), Day(2)});
    ExpectAllPages({Day(1), {}});
    ExpectAllPages({{}, Day(1)});
}

TEST_P(LogPagingTest, DeletionsKeepThePagesRight)
{
    AuditRecord audit{"2026-01-01 00:00:00", "u", "c", "Log", "Del", "", "", "", ""};
    // One second that holds several entries.
    std::map<std::string, int> perSecond;
    for (const auto& e : all) {
        ++perSecond[e.first.time];
    }
    auto busiest = std::max_element(perSecond.begin(), perSecond.end(),
                                    [](const auto& a, const auto& b) { return a.second < b.second; });
    std::string second = busiest->first;
    int64_t removed = 0;
    ASSERT_EQ(f.store->DeleteLogsAt(second, audit, removed), StoreResult::Ok);
    EXPECT_EQ(removed, busiest->second);
    std::erase_if(all, [&](const auto& e) { return e.first.time == second; });
    ExpectAllPages({});

    ASSERT_EQ(f.store->DeleteLogs({Day(1), Day(2)}, audit, removed), StoreResult::Ok);
    EXPECT_GT(removed, 0);
    std::erase_if(all, [&](const auto& e) { return e.first.time >= Day(1) && e.first.time < Day(2); });
    ExpectAllPages({});
    ExpectAllPages({Day(0), Day(3)});

    ASSERT_EQ(f.store->DeleteLogs({}, audit, removed), StoreResult::Ok);
    all.clear();
    EXPECT_TRUE(Actual({}, 0).empty());
    EXPECT_EQ(f.AuditTrail().size(), 3u);
}

ZYR_ON_BOTH_BACKENDS(LogPagingTest);

TEST(SqliteStoreTest, AuditRecordsCannotBeChangedOrRemoved)
{
    ServerFixture f;
    ASSERT_EQ(f.store->AppendAudit({"2026-01-01 00:00:00", "u", "c", "Appl", "Add", "{X}", "n", "", ""}),
              StoreResult::Ok);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(f.dbPath.c_str(), &db), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(db, "UPDATE audit SET user='x'", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(db, "DELETE FROM audit", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_NE(
        sqlite3_exec(db,
                     "INSERT OR REPLACE INTO audit SELECT id,time,'x',computer,object,operation,identity,"
                     "name,old_value,new_value FROM audit",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(f.AuditTrail().size(), 1u);
    EXPECT_EQ(f.AuditTrail()[0].user, "u");
}

// Changes from many threads share commits: every accepted change is kept
// with its audit record, and a refused one, answered inside a shared
// transaction, takes nothing of the others with it and leaves nothing.
TEST(SqliteStoreTest, ConcurrentChangesShareCommitsButNotRefusals)
{
    ServerFixture f;
    constexpr int kThreads = 4;
    constexpr int kRoles = 40;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRoles; ++i) {
                const std::string id = std::to_string(t) + "-" + std::to_string(i);
                RoleRecord role{"{" + id + "}", "Role " + id, "", {"CORP\\u" + id}, {}};
                AuditRecord audit{"2026-01-01 00:00:00", "u", "c", "Role", "Add", role.dn, role.name, "", ""};
                if (f.store->AddRole(role, audit) != StoreResult::Ok) {
                    ++wrong;
                }
                role.name += " again"; // the same identity: refused
                if (f.store->AddRole(role, audit) != StoreResult::DuplicateIdentity) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    std::vector<RoleRecord> roles;
    ASSERT_TRUE(f.store->ListRoles(roles));
    ASSERT_EQ(roles.size(), static_cast<size_t>(kThreads * kRoles));
    for (const auto& role : roles) {
        EXPECT_EQ(role.name.find("again"), std::string::npos);
        ASSERT_EQ(role.memberUsers.size(), 1u);
    }
    size_t audited = 0;
    std::vector<AuditRecord> page;
    for (int64_t n = 0; f.store->GetAuditPage(n, page) && !page.empty(); ++n) {
        audited += page.size();
    }
    EXPECT_EQ(audited, static_cast<size_t>(kThreads * kRoles));

    // A bulk load after them finds no shared transaction in its way.
    auto bulk = f.store->BeginBulk();
    ASSERT_TRUE(bulk->Role({"{bulk}", "Bulk", "", {}, {}}));
    ASSERT_TRUE(bulk->Commit());
    ASSERT_TRUE(f.store->ListRoles(roles));
    EXPECT_EQ(roles.size(), static_cast<size_t>(kThreads * kRoles) + 1);
}

TEST(SqliteStoreTest, ReopeningKeepsDataAndRefusesANewerSchema)
{
    ServerFixture f;
    ASSERT_EQ(f.Get("Object=Role&Operation=Add&CN=R&DN={r}&Desc=&MemeberUser=&MemberGroup=" + kTrailer).body,
              "OK");
    f.router.reset();
    f.service.reset();
    f.store.reset();
    std::string reason;
    auto again = OpenSqliteStore(f.dbPath, reason);
    ASSERT_TRUE(again) << reason;
    std::vector<RoleRecord> roles;
    ASSERT_TRUE(again->ListRoles(roles));
    ASSERT_EQ(roles.size(), 1u);
    again.reset();

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(f.dbPath.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "INSERT INTO schema_version VALUES(99)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_FALSE(OpenSqliteStore(f.dbPath, reason));
    EXPECT_NE(reason.find("newer"), std::string::npos);
}

TEST(SqliteStoreTest, FilesAreTheServersAloneAndAReadOnlyFileIsRefused)
{
    TempDir dir;
    const auto folder = dir.path() / "made";
    const std::string path = (folder / "security.db").string();
    ::umask(022);
    std::string reason;
    auto store = OpenSqliteStore(path, reason);
    ASSERT_TRUE(store) << reason;
    ASSERT_EQ(store->AppendAudit({"2026-01-01 00:00:00", "u", "c", "Appl", "Add", "{X}", "n", "", ""}),
              StoreResult::Ok);
    auto mode = [](const std::filesystem::path& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000u;
    };
    EXPECT_EQ(mode(folder), 0700u);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        EXPECT_EQ(mode(path + suffix), 0600u) << suffix;
    }
    store.reset();

    // Opened read-only (as a file the account may not write is) it is refused.
    EXPECT_FALSE(OpenSqliteStore("file:" + path + "?mode=ro", reason));
    EXPECT_NE(reason.find("cannot be written"), std::string::npos) << reason;
}

} // namespace
} // namespace zyr::server::test
