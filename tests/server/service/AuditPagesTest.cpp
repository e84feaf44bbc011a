// Pages of the audit trail narrowed by time, account, kind and name, on both
// backends: what each filter admits, the order and paging of a narrowed
// trail, and the refusal of filters that are not sound.
#include "tests/server/ServerFixture.h"

#include <cstdio>

namespace zyr::server::test {
namespace {

class AuditPagesTest : public BackendTest {
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        // A record a minute from 10:00: three accounts, four kinds.
        static const char* const kUsers[] = {"CORP\\ann", "CORP\\bob", "PLANT\\eve"};
        static const char* const kKinds[] = {"Appl", "SecGroup", "SecObj", "Role"};
        for (int i = 0; i < 120; ++i) {
            char time[32];
            std::snprintf(time, sizeof time, "2026-03-01 %02d:%02d:00", 10 + i / 60, i % 60);
            ASSERT_EQ(
                f.store->AppendAudit({time, kUsers[i % 3], "PC01", kKinds[i % 4], "Update",
                                      "{" + std::to_string(i) + "}", "Valve " + std::to_string(i), "", ""}),
                StoreResult::Ok);
        }
    }
    // Each record's time, user, kind and name; a refusal as its one text.
    std::vector<std::vector<std::string>> Page(const std::string& query)
    {
        body = f.Get("Object=Audit&Operation=Get&" + query).body;
        if (body.rfind("Error: ", 0) == 0) {
            return {{body}};
        }
        std::vector<std::vector<std::string>> out;
        for (pugi::xml_node record : f.Records(doc, body, "KVTAUDIT")) {
            auto texts = f.Texts(record);
            out.push_back({texts.at(0), texts.at(1), texts.at(3), texts.at(6)});
        }
        return out;
    }

    ServerFixture f{GetParam()};
    pugi::xml_document doc;
    std::string body;
};

TEST_P(AuditPagesTest, FiltersNarrowThePageTogetherNewestFirst)
{
    auto ann = Page("DisplaySet=0&User=corp%5CANN");
    ASSERT_EQ(ann.size(), 40u);
    for (const auto& r : ann) {
        EXPECT_EQ(r[1], "CORP\\ann");
    }
    EXPECT_EQ(ann.front()[0], "2026-03-01 11:57:00");
    EXPECT_EQ(ann.back()[0], "2026-03-01 10:00:00");

    // Account and kind together: i % 3 == 1 and i % 4 == 2.
    auto bobObjects = Page("User=CORP%5Cbob&Object=secobj");
    ASSERT_EQ(bobObjects.size(), 10u);
    EXPECT_EQ(bobObjects.front()[3], "Valve 118");
    EXPECT_EQ(bobObjects.back()[3], "Valve 10");

    // From inclusive, to exclusive; "T", space or "+" before the time.
    auto halfHour = Page("FromTime=2026-03-01%2011:00&ToTime=2026-03-01T11:30:00");
    ASSERT_EQ(halfHour.size(), 30u);
    EXPECT_EQ(halfHour.front()[0], "2026-03-01 11:29:00");
    EXPECT_EQ(halfHour.back()[0], "2026-03-01 11:00:00");
    EXPECT_EQ(Page("FromTime=2026-03-01+11:59&ToTime=2026-03-02").size(), 1u);

    // A part of the name, without regard to case: "Valve 11" and "Valve 110" to "Valve 119".
    auto valve11 = Page("Name=VALVE%2011");
    ASSERT_EQ(valve11.size(), 11u);
    EXPECT_EQ(valve11.front()[3], "Valve 119");
    EXPECT_EQ(valve11.back()[3], "Valve 11");
    EXPECT_TRUE(Page("Name=Pump").empty());
    // With an account as well: i % 3 == 1 among them.
    auto bobValves = Page("Name=valve%2011&User=CORP%5Cbob");
    ASSERT_EQ(bobValves.size(), 3u);
    EXPECT_EQ(bobValves.front()[3], "Valve 118");
    EXPECT_EQ(bobValves.back()[3], "Valve 112");

    // Every record's name holds "valve": its pages, read name by name, follow
    // one another as the plain trail's do.
    auto named = Page("DisplaySet=1&Name=valve");
    ASSERT_EQ(named.size(), 50u);
    EXPECT_EQ(named.front()[3], "Valve 69");
    EXPECT_EQ(named.back()[3], "Valve 20");
    EXPECT_EQ(Page("DisplaySet=2&Name=valve").size(), 20u);

    // Pages of a narrowed trail follow one another without gaps.
    auto first = Page("DisplaySet=0&FromTime=2026-03-01");
    auto second = Page("DisplaySet=1&FromTime=2026-03-01");
    auto third = Page("DisplaySet=2&FromTime=2026-03-01");
    ASSERT_EQ(first.size(), 50u);
    ASSERT_EQ(second.size(), 50u);
    ASSERT_EQ(third.size(), 20u);
    EXPECT_EQ(first.back()[3], "Valve 70");
    EXPECT_EQ(second.front()[3], "Valve 69");
    EXPECT_EQ(third.back()[3], "Valve 0");
    // Empty filters narrow nothing: the plain trail.
    EXPECT_EQ(Page("DisplaySet=0&User=&Object=&Name=&FromTime=&ToTime=").front()[3], "Valve 119");
}

TEST_P(AuditPagesTest, FiltersThatAreNotSoundAreRefused)
{
    for (const char* query :
         {"FromTime=2026-02-30", "FromTime=yesterday", "ToTime=2026-03-01%2024:00", "FromTime=3/1/2026",
          "FromTime=2026-03-02&ToTime=2026-03-01", "Name=a%01b", "User=%FF", "DisplaySet=-1"}) {
        auto page = Page(query);
        ASSERT_EQ(page.size(), 1u) << query;
        EXPECT_EQ(page[0][0].rfind("Error: ", 0), 0u) << query;
    }
    EXPECT_EQ(Page("Object=" + std::string(256, 'x'))[0][0],
              "Error: the Object filter is longer than 255 bytes");
}

ZYR_ON_BOTH_BACKENDS(AuditPagesTest);

} // namespace
} // namespace zyr::server::test
