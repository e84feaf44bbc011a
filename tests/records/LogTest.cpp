// Log pages and deletions: the requests, the walk of the reply, and the
// single delete's date.
#include "records/Log.h"

#include "tests/roles/RecordsFixture.h"

#include <gtest/gtest.h>

namespace zyr::testing {
namespace {

class LogTest : public RecordsFixture {
protected:
    static std::string Entry(int children, const std::string& user)
    {
        const std::string texts[] = {"2007-02-05 13:04:09", user, "Logon", "Failed", "extra"};
        std::string out = "<LOG>";
        for (int i = 0; i < children; ++i) {
            out += "<F>" + texts[i] + "</F>";
        }
        return out + "</LOG>";
    }
};

TEST_F(LogTest, PagesWithAndWithoutARange)
{
    UseScripted();
    scripted.Enqueue(
        {.body = Document("<KVTLOGS>" + Entry(4, "PLANT\\a") + Entry(3, "three") + Entry(5, "five") +
                          Entry(4, "PLANT\\b") + "<LOGCOUNT>4</LOGCOUNT></KVTLOGS>")});
    scripted.Enqueue({.body = Document("<KVTLOGS><LOGCOUNT>0</LOGCOUNT></KVTLOGS>")});
    CKVTLogList list;
    list.DisplaySet = 3;
    ASSERT_EQ(list.GetLogs("ignored", std::nullopt, ""), S_OK);
    ASSERT_EQ(list.Entries().size(), 2u);
    EXPECT_EQ(list.Entries()[1]->User.str(), "PLANT\\b");
    EXPECT_EQ(list.Entries()[0]->DateTime.str(), "2007-02-05 13:04:09");
    EXPECT_TRUE(list.Entries()[0]->IsFailed());
    EXPECT_EQ(scripted.Requests().at(0).target, Target("?Object=Log&Operation=Get&DisplaySet=3"));

    list.DisplaySet = 0;
    ASSERT_EQ(list.GetLogs("", std::string_view(), ""), S_OK);
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_EQ(scripted.Requests().at(1).target,
              Target("?Object=Log&Operation=Get&FromDate=&ToDate=&DisplaySet=0"));
}

TEST_F(LogTest, FailedFetchesEmptyTheList)
{
    UseScripted();
    scripted.Enqueue({.body = Document("<KVTLOGS>" + Entry(4, "a") + "<END/></KVTLOGS>")});
    scripted.Enqueue({.body = "Error: the date x is not month/day/year"});
    scripted.Enqueue({.body = Document("<OTHER/>")});
    CKVTLogList list;
    ASSERT_EQ(list.GetLogs("", std::nullopt, ""), S_OK);
    EXPECT_EQ(list.Entries().size(), 1u);
    EXPECT_EQ(list.GetLogs("", std::string_view("13/45/2007"), "1/1/2008"), E_FAIL);
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_TRUE(FAILED(list.GetLogs("", std::nullopt, "")));
}

TEST_F(LogTest, DeletionRequests)
{
    UseScripted();
    scripted.SetDefaultReply({.body = "OK"});
    CKVTLogList list;
    EXPECT_EQ(list.DeleteLogs("", std::nullopt, ""), S_OK);
    EXPECT_EQ(list.DeleteLogs("PLANT\\op one", std::string_view("2/1/2007"), "2/28/2007"), S_OK);
    EXPECT_EQ(scripted.Requests().at(0).target, Target("?Object=Log&Operation=Del"));
    EXPECT_EQ(scripted.Requests().at(1).target,
              Target("?Object=Log&Operation=Del&FromDate=2/1/2007&ToDate=2/28/2007&User=PLANT%5Cop%20one"));

    CKVTLog entry;
    entry.DateTime = "2007-02-05 13:04:09";
    entry.User = "PLANT\\op one";
    EXPECT_TRUE(entry.Delete());
    EXPECT_EQ(
        scripted.Requests().at(2).target,
        Target("?Object=Log&Operation=Del&Date=2/5/2007%2013:4:9&User=PLANT%5Cop%20one&Computer=BUILD-07"));
    entry.User.Clear();
    entry.DateTime = "2007-02-05T01:04:09Z";
    EXPECT_TRUE(entry.Delete());
    EXPECT_EQ(scripted.Requests().at(3).target,
              Target("?Object=Log&Operation=Del&Date=2/5/2007%201:4:9&Computer=BUILD-07"));

    entry.DateTime = "yesterday";
    EXPECT_FALSE(entry.Delete()); // no date the server could match: nothing sent
    EXPECT_EQ(scripted.RequestCount(), 4u);
    scripted.SetDefaultReply({.body = "Error: no such entry"});
    entry.DateTime = "02/05/2007 13:04:09";
    EXPECT_FALSE(entry.Delete());
}

TEST_F(LogTest, TimesOfTheServerIsoAndTheLocaleForm)
{
    std::tm t{};
    for (const char* text : {"2007-02-05T13:04:09.250+01:00", "02/05/07 13:04:09", "2/5/2007 1:04:09 PM"}) {
        ASSERT_TRUE(zyr::records::ParseLogTime(text, t)) << text;
        EXPECT_EQ(zyr::records::FormatLogDeleteTime(t), "2/5/2007 13:4:9") << text;
    }
    EXPECT_FALSE(zyr::records::ParseLogTime("2007-13-05 13:04:09", t));
    EXPECT_FALSE(zyr::records::ParseLogTime("2007-02-05 13:04", t));
    EXPECT_FALSE(zyr::records::ParseLogTime("", t));
}

TEST_F(LogTest, PagesAndDeletionsOnTheReferenceServer)
{
    ZYR_USE_REFERENCE_SERVER();
    CKVTLogList list;
    ASSERT_EQ(list.GetLogs("", std::nullopt, ""), S_OK);
    ASSERT_EQ(list.Entries().size(), 50u);
    std::shared_ptr<CKVTLog> first = list.Entries()[0];
    const std::string time = first->DateTime.str();
    EXPECT_TRUE(first->Delete());
    ASSERT_EQ(list.GetLogs("", std::nullopt, ""), S_OK);
    EXPECT_NE(list.Entries()[0]->DateTime.str(), time);

    CKVTLogList deleter;
    EXPECT_EQ(deleter.DeleteLogs("PLANT\\op one", std::string_view("1/1/2000"), "1/1/2001"), S_OK);
    EXPECT_EQ(deleter.DeleteLogs("PLANT\\op one", std::nullopt, ""), S_OK);
    ASSERT_EQ(list.GetLogs("", std::nullopt, ""), S_OK);
    EXPECT_LE(list.Entries().size(), 1u); // at most the deletion's own entry
}

} // namespace
} // namespace zyr::testing
