// Two servers on one PostgreSQL database: racing adds of the same identity or
// name leave exactly one record and one audit record, and what one server
// changes the other lists at once.
#include "tests/server/ServerFixture.h"
#include "tests/server/ServerProcess.h"

#include "cache/TextCipher.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>

namespace zyr::server::test {
namespace {

class SharedDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (PgTestCluster().empty()) {
            GTEST_SKIP() << "no PostgreSQL test cluster (ZYR_TEST_PG)";
        }
        ASSERT_TRUE(database.available());
        // Both start together on the empty database: one makes the schema, the other waits for it.
        std::thread second([&] { secondStarted = servers[1].Start({"--db", database.location()}); });
        ASSERT_TRUE(servers[0].Start({"--db", database.location(), "--enable-test-controls"}));
        second.join();
        ASSERT_TRUE(secondStarted);
    }

    // Sends the two queries at the same moment, one to each server.
    std::pair<std::string, std::string> Race(const std::string& first, const std::string& second)
    {
        std::latch go(2);
        std::string replies[2];
        const std::string* queries[2] = {&first, &second};
        std::thread threads[2];
        for (int i = 0; i < 2; ++i) {
            threads[i] = std::thread([&, i] {
                go.arrive_and_wait();
                replies[i] = Request(servers[i].port(), "GET", *queries[i]).body;
            });
        }
        for (auto& t : threads) {
            t.join();
        }
        return {replies[0], replies[1]};
    }

    std::string List(int server, const std::string& query)
    {
        return Request(servers[server].port(), "GET", query).body;
    }

    static size_t Count(const std::string& text, const std::string& what)
    {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) {
            ++n;
        }
        return n;
    }

    TestDatabase database{Backend::Postgres};
    ServerProcess servers[2];
    bool secondStarted = false;
};

TEST_F(SharedDatabaseTest, ConflictingAddsLeaveOneRecordAndOneAuditRecord)
{
    const std::string trailer = "&User=CORP%5Cjdoe&Computer=PC01";
    const std::string members = "&MemeberUser=" + zyr::cipher::Encrypt("CORP\\a;CORP\\b;") + "&MemberGroup=";
    const int rounds = 20;
    for (int i = 0; i < rounds; ++i) {
        std::string n = std::to_string(i);
        // The same identity under two names, then two identities under one name (in another letter case).
        auto sameDn = Race(
            "Object=Role&Operation=Add&CN=Role%20" + n + "a&DN={role-" + n + "}&Desc=" + members + trailer,
            "Object=Role&Operation=Add&CN=Role%20" + n + "b&DN={role-" + n + "}&Desc=" + members + trailer);
        auto sameName = Race("Object=Appl&Operation=Add&Appl=Plant%20" + n + "&DN={appl-" + n +
                                 "-a}&Desc=&Perm=&ACL=" + trailer,
                             "Object=Appl&Operation=Add&Appl=PLANT%20" + n + "&DN={appl-" + n +
                                 "-b}&Desc=&Perm=&ACL=" + trailer);
        for (const auto& [a, b] : {sameDn, sameName}) {
            EXPECT_TRUE((a == "OK") != (b == "OK")) << a << " | " << b;
            const std::string& loser = a == "OK" ? b : a;
            EXPECT_EQ(loser.rfind("Error: ", 0), 0u) << loser;
            EXPECT_EQ(loser.find("could not store"), std::string::npos) << loser;
        }
    }
    for (int server : {0, 1}) {
        std::string roles = List(server, "Object=Role&Operation=Get");
        EXPECT_EQ(Count(roles, "<ROLE>"), static_cast<size_t>(rounds));
        // Each role holds its two members once: the loser wrote none of its own.
        EXPECT_NE(roles.find("<ROLECOUNT>" + std::to_string(rounds) + "</ROLECOUNT>"), std::string::npos);
        for (size_t at = roles.find("<MEMBERUSER>"); at != std::string::npos;
             at = roles.find("<MEMBERUSER>", at + 1)) {
            size_t end = roles.find("</MEMBERUSER>", at);
            std::string plain;
            ASSERT_TRUE(zyr::cipher::Decrypt(roles.substr(at + 12, end - at - 12), plain));
            EXPECT_EQ(plain, "CORP\\a;CORP\\b;");
        }
        EXPECT_EQ(Count(List(server, "Object=Appl&Operation=GetAll"), "<APPL>"), static_cast<size_t>(rounds));
    }
    // One audit record per record that exists.
    std::string audit = List(0, "Object=Audit&Operation=Get");
    EXPECT_EQ(Count(audit, "<OPERATION>Add</OPERATION>"), 2u * rounds);
}

TEST_F(SharedDatabaseTest, AChangeThroughOneServerIsListedThroughTheOther)
{
    const std::string trailer = "&User=CORP%5Cjdoe&Computer=PC01";
    // The second server builds and keeps its application list.
    ASSERT_EQ(Count(List(1, "Object=Appl&Operation=GetAll"), "<APPL>"), 0u);
    ASSERT_EQ(List(0, "Object=Appl&Operation=Add&Appl=Plant&DN={appl}&Desc=&Perm=&ACL=" + trailer), "OK");
    EXPECT_EQ(Count(List(1, "Object=Appl&Operation=GetAll"), "<APPL>"), 1u);
    ASSERT_EQ(List(1, "Object=SecGroup&Operation=Add&Appl={appl}&Group=Line&DN={group}&Desc=&ACL=" + trailer),
              "OK");
    EXPECT_NE(List(0, "Object=Appl&Operation=GetAll").find("<GROUPNAME>Line</GROUPNAME>"), std::string::npos);
    ASSERT_EQ(List(0, "Object=Appl&Operation=Delete&DN={appl}" + trailer), "OK");
    EXPECT_EQ(Count(List(1, "Object=Appl&Operation=GetAll"), "<APPL>"), 0u);

    ASSERT_EQ(Request(servers[1].port(), "POST", "Object=Log&Operation=Add",
                      "User=CORP%5Cx&Action=Logon&Status=Success&Computer=PC01")
                  .body,
              "OK");
    EXPECT_EQ(Count(List(0, "Object=Log&Operation=Get"), "<LOG>"), 1u);

    // The compliance flag switched on through one server holds for the other.
    ASSERT_EQ(List(1, "Object=KVTAPI&Operation=Get21CFR11Flag"), "false");
    ASSERT_EQ(
        Request(servers[0].port(), "POST", "Object=Audit&Operation=Send",
                "Message=The%20compliance-enabling%20features%20have%20been%20activated&User=u&Computer=PC01")
            .body,
        "OK");
    EXPECT_EQ(List(1, "Object=KVTAPI&Operation=Get21CFR11Flag"), "true");
}

} // namespace
} // namespace zyr::server::test
