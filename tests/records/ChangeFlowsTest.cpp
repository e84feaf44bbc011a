// The changes both clients make: a taken name sends nothing, a refusal keeps
// the lists as they were, and a deleted role leaves no entry behind.
#include "records/ChangeFlows.h"

#include "records/AclEditing.h"
#include "tests/roles/RecordsFixture.h"

#include <gtest/gtest.h>

namespace zyr::testing {
namespace {

// The lists each test makes are current only while the test runs.
class ChangeFlowsTest : public RecordsFixture {};

TEST_F(ChangeFlowsTest, AddSendsNothingForATakenNameAndKeepsTheListOnRefusal)
{
    UseScripted();
    CKVTRoleList roles;
    roles.Append(std::make_unique<CKVTRole>("Operators", ""));
    const auto taken = zyr::records::AddRole(roles, "operators", "x");
    EXPECT_EQ(taken.added, nullptr);
    ASSERT_NE(taken.existing, nullptr);
    EXPECT_EQ(taken.existing->CN.str(), "Operators");
    EXPECT_TRUE(scripted.Requests().empty());

    scripted.Enqueue({.body = "Error: refused"});
    const auto refused = zyr::records::AddRole(roles, "Night", "");
    EXPECT_EQ(refused.added, nullptr);
    EXPECT_EQ(refused.existing, nullptr);
    EXPECT_EQ(roles.Roles().size(), 1u);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, zyr::LoadStringAnsi(zyr::IDS_ADD_ROLE_FAILED));

    CKVTAppl application("Plant", "", true);
    application.DN = "{a1}";
    scripted.Enqueue({.body = "OK"});
    const auto group = zyr::records::AddGroup(application, "Line 1", "mixing");
    ASSERT_NE(group.added, nullptr);
    ASSERT_EQ(application.Groups.size(), 1u);
    EXPECT_EQ(application.Groups[0].get(), group.added);
    EXPECT_EQ(group.added->ApplDN.str(), "{a1}");
    EXPECT_EQ(zyr::records::AddGroup(application, "LINE 1", "").existing, group.added);
    EXPECT_EQ(scripted.Requests().size(), 2u);
}

TEST_F(ChangeFlowsTest, DeletedRoleLeavesTheListsAndARefusedOneStays)
{
    UseScripted();
    CKVTRoleList roles;
    CKVTRole& ops = roles.Append(std::make_unique<CKVTRole>("Ops", ""));
    CKVTApplList applications;
    CKVTAppl& application = applications.Append(std::make_unique<CKVTAppl>("Plant", "", true));
    zyr::records::SetRoleMask(application.ACL, "Ops", 5);
    zyr::records::SetRoleMask(application.ACL, "Admins", 1);
    int asked = 0;
    const auto list = [&]() {
        ++asked;
        return &applications;
    };

    scripted.Enqueue({.body = "Error: the role does not exist"});
    const zyr::records::RoleDeletion refused = zyr::records::DeleteRole(ops, &roles, list);
    EXPECT_FALSE(refused.deleted);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(roles.Roles().size(), 1u);
    EXPECT_EQ(zyr::records::RoleMask(application.ACL, "Ops"), 5u);

    scripted.Enqueue({.body = "OK"});
    const zyr::records::RoleDeletion deleted = zyr::records::DeleteRole(ops, &roles, list);
    EXPECT_TRUE(deleted.deleted);
    EXPECT_EQ(deleted.name, "Ops");
    EXPECT_EQ(deleted.entriesLeft, 1u);
    EXPECT_TRUE(roles.Roles().empty());
    ASSERT_EQ(application.ACL.size(), 1u);
    EXPECT_EQ(application.ACL[0].RoleName.str(), "Admins");
}

} // namespace
} // namespace zyr::testing
