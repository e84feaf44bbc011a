// Effective access over fetched lists: the roles an account holds and how,
// the grants on the records that store them, and who holds a permission.
#include "records/EffectiveAccess.h"

#include "records/Application.h"
#include "records/SecureGroup.h"
#include "roles/RoleList.h"

#include <gtest/gtest.h>

using namespace zyr::records;

namespace {

// Plant: Read 1, Write 2 and Purge 0x80000000 (bit 4 unnamed). Operators hold
// Read on the application and Read+Write on the group only; Engineers hold
// Write and the unnamed bit on the object; Ghosts is no role.
struct Plant {
    Plant()
    {
        auto& app = list.Append(std::make_unique<CKVTAppl>("Plant", "", false));
        app.Permissions = {PermissionEntry("Read", "0x00000001"), PermissionEntry("Write", "0x00000002"),
                           PermissionEntry("Purge", "0x80000000")};
        app.ACL = {AccessEntry("Operators", 1)};
        app.Groups.push_back(std::make_unique<CKVTSecGroup>("Line", "Plant", "{A}", ""));
        app.Groups[0]->ACL = {AccessEntry("operators", 3), AccessEntry("Ghosts", 1)};
        app.Groups[0]->Objects.push_back(std::make_unique<CKVTApplSecObj>("Mixer", "{G}", "{A}", ""));
        app.Groups[0]->Objects[0]->ACL = {AccessEntry("Engineers", 0x12)};

        auto& operators = roles.Append(std::make_unique<CKVTRole>("Operators", ""));
        operators.AddMemberUser("HOST\\alice");
        operators.AddMemberGroup("HOST\\plant-operators");
        roles.Append(std::make_unique<CKVTRole>("Engineers", "")).AddMemberGroup("Everyone");
        roles.Append(std::make_unique<CKVTRole>("Supervisors", "")).AddMemberUser("HOST\\dave");
    }
    CKVTApplList list;
    CKVTRoleList roles;
};

} // namespace

TEST(EffectiveAccessTest, AnAccountHoldsRolesThroughItselfItsGroupsOrEveryone)
{
    Plant plant;
    const zyr::accessrule::AccountIdentity bob{"HOST", "bob", {"HOST\\plant-operators"}};
    const auto held = RolesOfAccount(plant.roles, bob, "HOST");
    ASSERT_EQ(held.size(), 2u);
    EXPECT_EQ(held[0].role, "Operators");
    EXPECT_EQ(held[0].through, "group HOST\\plant-operators");
    EXPECT_EQ(held[1].through, "Everyone");
    const auto alice = RolesOfAccount(plant.roles, {"HOST", "ALICE", {}}, "HOST");
    EXPECT_EQ(alice[0].through, "user HOST\\alice");

    // Grants stay on the record that stores them, and bits without a
    // permission name are shown by value.
    const auto places = EffectiveAccess(plant.list, held);
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0].place.Path(), "Plant");
    EXPECT_EQ(places[0].mask, 1u);
    EXPECT_EQ(places[1].place.Kind(), "group");
    ASSERT_EQ(places[1].permissions.size(), 2u);
    EXPECT_EQ(places[1].permissions[1].name, "Write");
    EXPECT_EQ(places[1].permissions[1].roles, std::vector<std::string>{"operators"});
    EXPECT_EQ(places[2].place.Path(), "Plant / Line / Mixer");
    ASSERT_EQ(places[2].permissions.size(), 2u);
    EXPECT_EQ(places[2].permissions[1].name, "0x00000010");
    EXPECT_TRUE(EffectiveAccess(plant.list, held, "Other").empty());
    EXPECT_TRUE(EffectiveAccess(plant.list, {}).empty());
}

TEST(EffectiveAccessTest, WhoCanNamesEveryHoldingRoleAndTheConsoleOpeners)
{
    Plant plant;
    const auto& group = *plant.list.Applications[0]->Groups[0];
    const auto holders = WhoCan(group.ACL, 1, plant.roles);
    ASSERT_EQ(holders.size(), 2u);
    EXPECT_EQ(holders[0].role, "Operators");
    EXPECT_TRUE(holders[0].known);
    EXPECT_EQ(holders[0].users, std::vector<std::string>{"HOST\\alice"});
    EXPECT_EQ(holders[1].role, "Ghosts");
    EXPECT_FALSE(holders[1].known);
    EXPECT_EQ(WhoCan(group.ACL, 3, plant.roles).size(), 1u) << "every bit asked for must be held";
    EXPECT_TRUE(WhoCan(group.ACL, 0, plant.roles).empty());
    EXPECT_TRUE(ConsoleOpeners(plant.list, plant.roles).empty()) << "no console object";
}
