// Access-control list, permission list and member list changes shared by the
// pages and the command-line tool.
#include "records/AclEditing.h"

#include "records/Application.h"
#include "tests/roles/RecordsFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using namespace zyr::records;

namespace zyr::testing {
namespace {

class AclEditingTest : public RecordsFixture {
protected:
    void TearDown() override
    {
        ResetCurrentApplList();
        RecordsFixture::TearDown();
    }
};

TEST_F(AclEditingTest, GrantRevokeAndSetWorkOnTheRolesFirstEntry)
{
    std::vector<AccessEntry> acl;
    EXPECT_TRUE(GrantPermission(acl, "Operators", 1));
    EXPECT_FALSE(GrantPermission(acl, "OPERATORS", 1));
    EXPECT_TRUE(GrantPermission(acl, "operators", 0x80000000u));
    ASSERT_EQ(acl.size(), 1u);
    EXPECT_EQ(acl[0].Mask, 0x80000001u);
    EXPECT_EQ(AccessListText(acl), "Operators:-2147483647;");
    EXPECT_TRUE(RevokePermission(acl, "Operators", 0x80000001u));
    EXPECT_EQ(acl.size(), 1u); // the entry stays with mask 0
    EXPECT_FALSE(RevokePermission(acl, "Engineers", 1));
    EXPECT_EQ(SetRoleMask(acl, "Engineers", 7), 0u);
    EXPECT_EQ(SetRoleMask(acl, "Engineers", 3), 7u);
    EXPECT_EQ(RoleMask(acl, "engineers"), 3u);
    EXPECT_TRUE(RemoveRoleEntry(acl, "OPERATORS"));
    ASSERT_EQ(acl.size(), 1u);
    EXPECT_EQ(acl[0].RoleName.str(), "Engineers");
}

TEST_F(AclEditingTest, ADeletedRoleLeavesEveryListOfEveryRecord)
{
    UseScripted();
    CKVTApplList list;
    for (int a = 0; a < 2; ++a) {
        CKVTAppl& appl = list.Append(std::make_unique<CKVTAppl>("A" + std::to_string(a), "", false));
        appl.ACL = {AccessEntry("Operators", 1), AccessEntry("operators", 2)};
        auto& group = appl.Groups.emplace_back(std::make_unique<CKVTSecGroup>("G", "A", "{A}", ""));
        group->ACL = {AccessEntry("Engineers", 1), AccessEntry("OPERATORS", 4)};
        auto& object = group->Objects.emplace_back(std::make_unique<CKVTApplSecObj>("O", "{G}", "{A}", ""));
        object->ACL = {AccessEntry("Operators", 8)};
    }
    EXPECT_EQ(RemoveRoleFromApplications(list, "Operators"), 6u);
    const CKVTAppl& first = *list.Applications[0];
    ASSERT_EQ(first.ACL.size(), 1u); // only the first entry of each list goes
    EXPECT_EQ(first.ACL[0].Mask, 2u);
    ASSERT_EQ(first.Groups[0]->ACL.size(), 1u);
    EXPECT_EQ(first.Groups[0]->ACL[0].RoleName.str(), "Engineers");
    EXPECT_TRUE(first.Groups[0]->Objects[0]->ACL.empty());
    EXPECT_TRUE(IsGrantedInGroupsOrObjects(first, 1));
    EXPECT_FALSE(IsGrantedInGroupsOrObjects(first, 3));
}

TEST_F(AclEditingTest, AuditTextsOfPermissionAndAccessChanges)
{
    std::vector<PermissionEntry> perms = {
        {"Read", "0x00000001"}, {"Write", "0x00000002"}, {"Purge", "0x80000000"}};
    EXPECT_EQ(GrantedPermissionNames(perms, 0x80000003u), "Read,Write,Purge");
    AccessChangeText change = DescribeAccessChange(perms, "Operators", 1, 0x80000000u);
    EXPECT_EQ(change.oldText, "Operators:Read");
    EXPECT_EQ(change.newText, "Operators:Purge");

    std::vector<PermissionEntry> after = {
        {"Read", "0x00000001"}, {"Writing", "0x00000002"}, {"Ack", "0x00000008"}};
    PermissionListChange diff = DiffPermissionLists(perms, after);
    EXPECT_THAT(diff.removed, ElementsAre("Write:0x00000002", "Purge:0x80000000"));
    EXPECT_THAT(diff.added, ElementsAre("Writing:0x00000002", "Ack:0x00000008"));
}

TEST_F(AclEditingTest, MemberListsCompareWithoutRegardToCaseInLinearTime)
{
    MemberListChange diff = DiffMemberLists({"PLANT\\alice", "PLANT\\bob", "PLANT\\bob", "Everyone"},
                                            {"plant\\ALICE", "PLANT\\carol"});
    EXPECT_THAT(diff.removed, ElementsAre("PLANT\\bob", "Everyone"));
    EXPECT_THAT(diff.added, ElementsAre("PLANT\\carol"));

    std::vector<std::string> before;
    std::vector<std::string> after;
    for (int i = 0; i < 200000; ++i) {
        before.push_back("PLANT\\user" + std::to_string(i));
        after.push_back("plant\\USER" + std::to_string(i + 1));
    }
    diff = DiffMemberLists(before, after);
    EXPECT_THAT(diff.removed, ElementsAre("PLANT\\user0"));
    EXPECT_THAT(diff.added, ElementsAre("plant\\USER200000"));
}

} // namespace
} // namespace zyr::testing
