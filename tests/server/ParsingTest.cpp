// The small readers of the request page: form fields, the plain lists, the
// console's dates, and the export file.
#include "platform/text/Escape.h"
#include "server/http/ListReplies.h"
#include "server/service/ExportFile.h"
#include "server/service/FormFields.h"
#include "server/service/LogTime.h"
#include "server/storage/PlainLists.h"

#include <gtest/gtest.h>

namespace zyr::server {
namespace {

TEST(FormFieldsTest, DecodesEscapesKeepsPlusAndSplitsAtTheFirstEquals)
{
    FormFields f;
    ASSERT_TRUE(f.Parse("CN=Plant%20Ops&Perm=ab/c-d==&User=CORP%5Cjdoe&QOper=>=&Empty=&Bare&cn=second&&"));
    EXPECT_EQ(f.Get("CN"), "Plant Ops");
    EXPECT_EQ(f.Get("cn"), "Plant Ops"); // keys without regard to case, the first wins
    EXPECT_EQ(f.Get("Perm"), "ab/c-d==");
    EXPECT_EQ(f.Get("User"), "CORP\\jdoe");
    EXPECT_EQ(f.Get("QOper"), ">=");
    EXPECT_TRUE(f.Has("Empty"));
    EXPECT_TRUE(f.Has("Bare"));
    EXPECT_FALSE(f.Has("Missing"));

    ASSERT_TRUE(f.Parse("Desc=a+b"));
    EXPECT_EQ(f.Get("Desc"), "a+b");

    for (const char* bad : {"A=%", "A=%4", "A=%zz", "A=%00", "%G0=1"}) {
        EXPECT_FALSE(f.Parse(bad)) << bad;
        EXPECT_EQ(f.size(), 0u);
    }
    EXPECT_EQ(TrimTrailingZeros(std::string_view("Junk=Junk\0\0", 11)), "Junk=Junk");
}

TEST(PlainListsTest, AccessListsKeepSignedMasksAndRefuseMalformedItems)
{
    std::vector<AccessItem> items;
    ASSERT_TRUE(ParseAccessList(" Operators:5;Operators:2;;Admins:-2147483648;Top:4294967295;\r\n", items));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1].mask, 2);
    EXPECT_EQ(items[2].mask, INT32_MIN);
    EXPECT_EQ(items[3].mask, -1);
    EXPECT_EQ(RenderAccessList(items), "Operators:5;Operators:2;Admins:-2147483648;Top:-1;");
    for (const char* bad :
         {"Operators;", "Operators:;", "Operators:5x;", "A:4294967296;", "A:-2147483649;"}) {
        EXPECT_FALSE(ParseAccessList(bad, items)) << bad;
    }
    EXPECT_TRUE(ParseAccessList("", items));
    EXPECT_TRUE(items.empty());
}

TEST(PlainListsTest, RemovingARoleCutsOnlyItsEntriesAndKeepsTheRestAsWritten)
{
    std::string out = "untouched";
    EXPECT_EQ(RemoveRoleFromAccessList(" Top:4294967295;plant ops:1;;Plant:2;PLANT OPS:3;Ops: 7\r\n",
                                       "Plant Ops", out),
              2u);
    EXPECT_EQ(out, " Top:4294967295;;Plant:2;Ops: 7\r\n");
    out = "untouched";
    EXPECT_EQ(RemoveRoleFromAccessList("Admins:1;Plant Ops:2", "plant ops", out), 1u);
    EXPECT_EQ(out, "Admins:1;");
    EXPECT_EQ(RemoveRoleFromAccessList("Plant Ops:2;", "Plant Ops", out), 1u);
    EXPECT_EQ(out, "");
    // Nothing to cut, or a list that does not parse: left as it is.
    out = "untouched";
    EXPECT_EQ(RemoveRoleFromAccessList("Admins:1;Plant Ops Extra:2;", "Plant Ops", out), 0u);
    EXPECT_EQ(RemoveRoleFromAccessList("Plant Ops:1;Broken;", "Plant Ops", out), 0u);
    EXPECT_EQ(RemoveRoleFromAccessList("", "Plant Ops", out), 0u);
    EXPECT_EQ(out, "untouched");
    // Only ASCII letters fold.
    EXPECT_EQ(RemoveRoleFromAccessList("\xc9quipe:1;", "\xe9quipe", out), 0u);
}

TEST(PlainListsTest, PermissionAndMemberLists)
{
    auto perms = ParsePermissionList("Read:0x00000001;NoValue;;Tail:0x2");
    ASSERT_EQ(perms.size(), 3u);
    EXPECT_EQ(perms[1].first, "");
    EXPECT_EQ(perms[1].second, "NoValue");
    EXPECT_EQ(perms[2].first, "");
    EXPECT_EQ(perms[2].second, "");
    EXPECT_EQ(ParseMemberList(";;CORP\\a;;Everyone;"), (std::vector<std::string>{"CORP\\a", "Everyone"}));
    EXPECT_EQ(RenderMemberList({"a", "b"}), "a;b;");
}

TEST(ListRepliesTest, EscapesEveryMarkupCharacterWhereverItStands)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"&", "&amp;"},
        {"<a>&'b'\"", "&lt;a&gt;&amp;&apos;b&apos;&quot;"},
        {"x<<y>>z", "x&lt;&lt;y&gt;&gt;z"},
        // Bytes no XML may hold become U+FFFD; other UTF-8 stays as it is.
        {"caf\xc3\xa9 & \x01", "caf\xc3\xa9 &amp; \xEF\xBF\xBD"},
        {"\xff\xef\xbf\xbe\xf0\x9f\x98\x80",
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xf0\x9f\x98\x80"},
    };
    for (const auto& [text, expected] : cases) {
        std::string out = "kept:";
        text::AppendXmlEscaped(out, text, text::XmlBadBytes::Replace);
        EXPECT_EQ(out, "kept:" + std::string(expected)) << text;
    }
}

TEST(LogTimeTest, ConsoleDatesAndTimes)
{
    EXPECT_EQ(ParseConsoleDate("2/5/2007"), "2007-02-05 00:00:00");
    EXPECT_EQ(ParseConsoleDate("12/31/2026"), "2026-12-31 00:00:00");
    EXPECT_EQ(ParseConsoleDate("2/29/2024"), "2024-02-29 00:00:00");
    EXPECT_EQ(ParseConsoleDateTime("2/5/2007 13:4:9"), "2007-02-05 13:04:09");
    EXPECT_EQ(ParseConsoleDateTime("2/5/2007+13:4:9"), "2007-02-05 13:04:09");
    for (const char* bad : {"", "2/29/2023", "13/1/2007", "0/1/2007", "1/32/2007", "1/1/07", "1/1/2007/1",
                            "a/b/c", "1/1/20071"}) {
        EXPECT_FALSE(ParseConsoleDate(bad)) << bad;
    }
    for (const char* bad : {"2/5/2007", "2/5/2007 24:0:0", "2/5/2007 1:60:0", "2/5/2007 1:2"}) {
        EXPECT_FALSE(ParseConsoleDateTime(bad)) << bad;
    }
}

TEST(ExportFileTest, ReadsGroupsAndObjectsByTheirNumbers)
{
    ApplicationRecord a;
    std::string reason;
    ASSERT_TRUE(
        ReadExportFile("<R><ApplName>App</ApplName><ApplID>{A}</ApplID><Description>d</Description>"
                       "<KVTPerm>Read:0x00000001;</KVTPerm><GroupCount>1</GroupCount>"
                       "<GROUP0><GROUPNAME>G</GROUPNAME><GROUPID>{G}</GROUPID><Description>gd</Description>"
                       "<SECOBJECTCOUNT>1</SECOBJECTCOUNT><SECOBJ0><SECOBJNAME>O</SECOBJNAME>"
                       "<SECOBJID>{O}</SECOBJID><DESCRIPTION>od</DESCRIPTION></SECOBJ0></GROUP0></R>",
                       a, reason))
        << reason;
    EXPECT_EQ(a.dn, "{A}");
    ASSERT_EQ(a.groups.size(), 1u);
    EXPECT_EQ(a.groups[0].description, "gd"); // written as "Description", read as "DESCRIPTION"
    EXPECT_EQ(a.groups[0].applDn, "{A}");
    ASSERT_EQ(a.groups[0].objects.size(), 1u);
    EXPECT_EQ(a.groups[0].objects[0].groupDn, "{G}");

    ASSERT_TRUE(ReadExportFile("<R><ApplName>App</ApplName><ApplID>{A}</ApplID></R>", a, reason));
    EXPECT_TRUE(a.groups.empty());

    for (const char* bad :
         {"", "not xml", "<R><ApplName>App</ApplName></R>",
          "<R><ApplName>A</ApplName><ApplID>{A}</ApplID><GroupCount>2</GroupCount>"
          "<GROUP0><GROUPNAME>G</GROUPNAME><GROUPID>{G}</GROUPID></GROUP0></R>",
          "<R><ApplName>A</ApplName><ApplID>{A}</ApplID><GroupCount>-1</GroupCount></R>",
          "<R><ApplName>A</ApplName><ApplID>{A}</ApplID><GroupCount>99999999999</GroupCount></R>"}) {
        EXPECT_FALSE(ReadExportFile(bad, a, reason)) << bad;
        EXPECT_FALSE(reason.empty());
    }
}

} // namespace
} // namespace zyr::server
