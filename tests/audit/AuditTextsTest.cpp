#include "audit/AuditTexts.h"
#include "audit/AuditValueRecord.h"
#include "cache/TextCipher.h"

#include <gtest/gtest.h>

namespace {

using namespace zyr::audit;

TEST(AuditValueRecordTest, FieldsAndListsRenderEscapedInTheirTag)
{
    CAuditValueRecord record(kNewValueTag);
    record.AddField("Description", "a<b");
    EXPECT_EQ(record.Render(), "<NewValue><Description><Value>a&lt;b</Value></Description></NewValue>");

    record.Empty();
    record.AddList("MemberUsers", {"PLANT\\al & \"bo\"", "x>'y'"});
    record.AddList("MemberGroups", {});
    EXPECT_EQ(record.Render(), "<NewValue><MemberUsers><Value>PLANT\\al &amp; &quot;bo&quot;</Value>"
                               "<Value>x&gt;&apos;y&apos;</Value></MemberUsers>"
                               "<MemberGroups></MemberGroups></NewValue>");
    record.Empty();
    EXPECT_EQ(record.Render(), "<NewValue></NewValue>");
}

TEST(AuditTextsTest, AuditTextCarriesBothRenderingsEncrypted)
{
    AuditRenderings renderings{"<OldValue></OldValue>", "<NewValue>x</NewValue>"};
    std::string text = MakeAuditText(renderings);
    const std::string middle = "&NewValue=";
    ASSERT_EQ(text.rfind("OldValue=", 0), 0u);
    size_t split = text.find(middle);
    ASSERT_NE(split, std::string::npos);
    std::string oldPlain, newPlain;
    ASSERT_TRUE(zyr::cipher::Decrypt(text.substr(9, split - 9), oldPlain));
    ASSERT_TRUE(zyr::cipher::Decrypt(text.substr(split + middle.size()), newPlain));
    EXPECT_EQ(oldPlain, renderings.oldValues);
    EXPECT_EQ(newPlain, renderings.newValues);
}

TEST(AuditTextsTest, AccessPageListsOnlyRolesWhoseMaskChangedByPermissionNames)
{
    std::vector<PermissionItem> items{{"Read", 1}, {"Write", 2}, {"Execute", 4}};
    std::vector<RoleMaskChange> roles{{"Operators", 1, 1}, {"Engineers", 1, 7}, {"Guests", 2, 0}};
    AuditRenderings r = AccessPageRenderings("same", "same", roles, items);
    EXPECT_EQ(r.oldValues,
              "<OldValue><ACE><Value>Engineers:Read</Value><Value>Guests:Write</Value></ACE></OldValue>");
    EXPECT_EQ(
        r.newValues,
        "<NewValue><ACE><Value>Engineers:Read,Write,Execute</Value><Value>Guests:</Value></ACE></NewValue>");

    // A changed description comes first; the ACE lists are there even when empty.
    r = AccessPageRenderings("before", "after", {{"Operators", 1, 1}}, items);
    EXPECT_EQ(r.oldValues,
              "<OldValue><Description><Value>before</Value></Description><ACE></ACE></OldValue>");
    EXPECT_EQ(r.newValues, "<NewValue><Description><Value>after</Value></Description><ACE></ACE></NewValue>");
}

TEST(AuditTextsTest, PermissionPageReportsRemovedChangedAndAddedPermissions)
{
    std::vector<PermissionText> before{
        {"Read", "0x00000001"}, {"Write", "0x00000002"}, {"Run", "0x00000004"}};
    std::vector<PermissionText> after{
        {"Read", "0x00000001"}, {"Write", "0x00000008"}, {"Stop", "0x00000010"}};
    AuditRenderings r = PermissionPageRenderings(before, after);
    EXPECT_EQ(r.oldValues, "<OldValue><PermNamesList><Value>Write:0x00000002</Value>"
                           "<Value>Run:0x00000004</Value></PermNamesList></OldValue>");
    EXPECT_EQ(r.newValues, "<NewValue><PermNamesList><Value>Write:0x00000008</Value>"
                           "<Value>Stop:0x00000010</Value></PermNamesList></NewValue>");
}

TEST(AuditTextsTest, RolePagesSendNothingWhenNothingChanged)
{
    EXPECT_FALSE(RoleDescriptionRenderings("Plant operators", "Plant operators").has_value());
    auto description = RoleDescriptionRenderings("Plant operators", "plant operators");
    ASSERT_TRUE(description.has_value());
    EXPECT_EQ(description->newValues,
              "<NewValue><Description><Value>plant operators</Value></Description></NewValue>");

    std::vector<std::string> users{"PLANT\\alice", "PLANT\\bob"};
    std::vector<std::string> groups{"PLANT\\ops"};
    EXPECT_FALSE(RoleMembersRenderings(users, groups, {"PLANT\\bob", "PLANT\\alice"}, groups).has_value());

    auto members = RoleMembersRenderings(users, groups, {"PLANT\\bob", "PLANT\\carol", "PLANT\\carol"}, {});
    ASSERT_TRUE(members.has_value());
    EXPECT_EQ(members->oldValues, "<OldValue><MemberUsers><Value>PLANT\\alice</Value></MemberUsers>"
                                  "<MemberGroups><Value>PLANT\\ops</Value></MemberGroups></OldValue>");
    EXPECT_EQ(members->newValues, "<NewValue><MemberUsers><Value>PLANT\\carol</Value></MemberUsers>"
                                  "<MemberGroups></MemberGroups></NewValue>");
}

} // namespace
