// The audit trail reader: the change summary of each kind of record the
// server keeps, the side-by-side rows, the page request with its filter, and
// failures that stay failures.
#include "records/AuditTrail.h"
#include "records/AuditChange.h"

#include "tests/roles/RecordsFixture.h"

#include <gtest/gtest.h>

namespace zyr::testing {
namespace {

using zyr::records::AuditEntry;
using zyr::records::ChangeSummary;
using zyr::records::CompareAuditValues;
using zyr::records::ValueRow;

const std::string kArrow = " \u2192 ";

std::string Old(const std::string& inner)
{
    return "<OldValue>" + inner + "</OldValue>";
}
std::string New(const std::string& inner)
{
    return "<NewValue>" + inner + "</NewValue>";
}

TEST(AuditChangeTest, SummariesOfEveryKindOfRecordTheServerKeeps)
{
    struct Case {
        const char* what;
        std::string oldValue, newValue, summary;
    };
    const Case cases[] = {
        // An addition, a deletion, a log deletion: no values.
        {"no values", "", "", ""},
        // Access pages: the description, then the roles whose rights changed.
        {"description", Old("<Description><Value>Line A</Value></Description><ACE></ACE>"),
         New("<Description><Value>New text</Value></Description><ACE></ACE>"),
         "Description: 'Line A'" + kArrow + "'New text'"},
        {"rights", Old("<ACE><Value>Plant Ops:Read</Value><Value>Night Shift:Read,Write</Value></ACE>"),
         New("<ACE><Value>Plant Ops:Read,Write</Value><Value>Night Shift:</Value></ACE>"),
         "ACE Plant Ops: Read" + kArrow + "Read,Write; ACE Night Shift: Read,Write" + kArrow + "(none)"},
        {"escaped text", Old("<Description><Value>a &lt;b&gt; &amp; c</Value></Description>"),
         New("<Description><Value></Value></Description>"), "Description: 'a <b> & c'" + kArrow + "''"},
        // Permission page: changed, removed and added permissions.
        {"permissions",
         Old("<PermNamesList><Value>Write:0x00000002</Value><Value>Old:0x00000008</Value></PermNamesList>"),
         New("<PermNamesList><Value>Write:0x00000004</Value><Value>Alarm:0x80000000</Value></PermNamesList>"),
         "Permission Write: 0x00000002" + kArrow +
             "0x00000004; Permissions: + Alarm (0x80000000), - Old (0x00000008)"},
        // Role pages: members removed (old) and added (new), users and groups alike.
        {"members", Old("<MemberUsers></MemberUsers><MemberGroups></MemberGroups>"),
         New("<MemberUsers><Value>CORP\\jdoe</Value></MemberUsers><MemberGroups></MemberGroups>"),
         "Members: + CORP\\jdoe"},
        {"members both ways", Old("<MemberUsers><Value>CORP\\ann</Value></MemberUsers><MemberGroups/>"),
         New("<MemberUsers/><MemberGroups><Value>CORP\\Operators</Value></MemberGroups>"),
         "Members: + CORP\\Operators, - CORP\\ann"},
        // A role's deletion takes it out of the lists: plain lists, kept by the server.
        {"role deleted", "Plant Ops:3;Night Shift:1;", "Plant Ops:3;",
         "ACE Night Shift: 1" + kArrow + "(none)"},
        // Events keep their message; a line break does not break the line.
        {"event", "", "Batch 7 released\nby QA", "Batch 7 released by QA"},
        // Values that are no document are shown as they are.
        {"unknown", "<OldValue><Desc", "x", "Value: '<OldValue><Desc'" + kArrow + "'x'"},
        {"other list", Old("<Users><Value>a</Value><Value>b</Value></Users>"),
         New("<Users><Value>b</Value><Value>c</Value></Users>"), "Users: + c, - a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChangeSummary(c.oldValue, c.newValue), c.summary) << c.what;
    }
}

TEST(AuditChangeTest, RowsSideBySideMarkWhatDiffers)
{
    auto rows = CompareAuditValues(
        Old("<Description><Value>A</Value></Description><ACE><Value>Ops:Read</Value></ACE>"),
        New("<Description><Value>B</Value></Description><ACE><Value>Ops:Read</Value></ACE>"));
    ASSERT_EQ(rows.size(), 1u); // an entry that did not change is no row
    EXPECT_EQ(rows[0].field, "Description");
    EXPECT_EQ(rows[0].before, "A");
    EXPECT_EQ(rows[0].after, "B");
    EXPECT_TRUE(rows[0].Differs());
    auto members = CompareAuditValues(Old("<MemberUsers><Value>a</Value><Value>b</Value></MemberUsers>"),
                                      New("<MemberUsers></MemberUsers>"));
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].kind, ValueRow::Kind::Set);
    EXPECT_EQ(members[0].before, "a, b");
    EXPECT_EQ(members[0].after, "");
}

TEST(AuditChangeTest, CsvRowsCarryTheSummary)
{
    AuditEntry e{"2026-03-01 10:00:00",
                 "CORP\\jdoe",
                 "PC01",
                 "Role",
                 "Update",
                 "{r}",
                 "Ops, north",
                 Old("<MemberUsers/>"),
                 New("<MemberUsers><Value>CORP\\a</Value></MemberUsers>")};
    EXPECT_EQ(zyr::records::FormatAuditCsv(std::span(&e, 1)),
              "Time,User,Computer,Object,Operation,Name,Change\r\n"
              "2026-03-01 10:00:00,CORP\\jdoe,PC01,Role,Update,\"Ops, north\",Members: + CORP\\a\r\n");
}

class AuditTrailTest : public RecordsFixture {};

TEST_F(AuditTrailTest, PagesAskForTheFilterAndFailuresStayFailures)
{
    UseScripted();
    const std::string url = scripted.Url("/sec");
    scripted.Enqueue(
        {.body = Document("<KVTAUDIT><AUDIT><TIME>2026-03-01 10:00:00</TIME><USER>CORP\\a</USER>"
                          "<COMPUTER>PC</COMPUTER><OBJECT>Role</OBJECT><OPERATION>Add</OPERATION>"
                          "<IDENTITY>{r}</IDENTITY><IDENTITYNAME>Ops</IDENTITYNAME><OLDVALUE></OLDVALUE>"
                          "<NEWVALUE></NEWVALUE></AUDIT><AUDITCOUNT>1</AUDITCOUNT></KVTAUDIT>")});
    std::vector<AuditEntry> page;
    std::string why;
    zyr::records::AuditFilter filter{"2026-03-01", "2026-03-02 06:00:00", "CORP\\a", "Role", "north ops"};
    ASSERT_EQ(zyr::records::FetchAuditPage(url, filter, 2, page, why), S_OK) << why;
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0].name, "Ops");
    EXPECT_EQ(scripted.Requests().at(0).target,
              Target("?Object=Audit&Operation=Get&DisplaySet=2&FromTime=2026-03-01"
                     "&ToTime=2026-03-02%2006%3A00%3A00&User=CORP%5Ca&Object=Role&Name=north%20ops"));

    // A refusal, a reply that is no trail, a record cut short, no server:
    // each a failure with its reason, never an empty page.
    scripted.Enqueue({.body = "Error: the FromTime is not a time"});
    scripted.Enqueue({.body = Document("<KVTLOGS><LOGCOUNT>0</LOGCOUNT></KVTLOGS>")});
    scripted.Enqueue(
        {.body = Document("<KVTAUDIT><AUDIT><TIME>x</TIME></AUDIT><AUDITCOUNT>1</AUDITCOUNT></KVTAUDIT>")});
    EXPECT_EQ(zyr::records::FetchAuditPage(url, {}, 0, page, why), E_FAIL);
    EXPECT_EQ(why, "Error: the FromTime is not a time");
    EXPECT_EQ(zyr::records::FetchAuditPage(url, {}, 0, page, why), E_FAIL);
    EXPECT_EQ(zyr::records::FetchAuditPage(url, {}, 0, page, why), E_FAIL);
    EXPECT_TRUE(page.empty());
    EXPECT_EQ(zyr::records::FetchAuditPage("", {}, 0, page, why), E_FAIL);
    EXPECT_EQ(why, "No security server is configured.");
}

} // namespace
} // namespace zyr::testing
