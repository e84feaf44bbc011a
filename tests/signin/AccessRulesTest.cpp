#include "signin/AccessRules.h"

#include "cache/TextCipher.h"

#include <gtest/gtest.h>

namespace {

using namespace zyr::signin;

TEST(AccessRulesTest, MembershipByUserGroupOrEveryoneWithoutRegardToCase)
{
    AccountIdentity jdoe{"CORP", "jdoe", {"CORP\\Plant Ops"}};
    EXPECT_TRUE(AccountHoldsRole({"", "r", {"corp\\JDOE"}, {}}, jdoe, "PC01"));
    EXPECT_FALSE(AccountHoldsRole({"", "r", {"OTHER\\jdoe"}, {}}, jdoe, "PC01"));
    EXPECT_TRUE(AccountHoldsRole({"", "r", {}, {"CORP\\plant ops"}}, jdoe, "PC01"));
    EXPECT_FALSE(AccountHoldsRole({"", "r", {}, {"PC01\\Plant Ops"}}, jdoe, "PC01"));
    EXPECT_TRUE(AccountHoldsRole({"", "r", {}, {"Everyone"}}, jdoe, "PC01"));
    // A member without a domain is a local account of this computer.
    AccountIdentity local{"PC01", "erin", {}};
    EXPECT_TRUE(AccountHoldsRole({"", "r", {"erin"}, {}}, local, "PC01"));
    EXPECT_FALSE(AccountHoldsRole({"", "r", {"erin"}, {}}, AccountIdentity{"CORP", "erin", {}}, "PC01"));
}

TEST(AccessRulesTest, APermissionNeedsItsBitInTheUnionOfTheAccountsRoles)
{
    std::vector<CachedRole> roles{{"", "Operators", {"CORP\\jdoe"}, {}},
                                  {"", "Engineers", {}, {"CORP\\eng"}},
                                  {"", "Supervisors", {"CORP\\boss"}, {}}};
    std::vector<AccessGrant> acl{{"operators", 1}, {"Engineers", 2}, {"Supervisors", 4}};
    AccountIdentity jdoe{"CORP", "jdoe", {"CORP\\eng"}};
    EXPECT_TRUE(PermissionGranted(acl, roles, jdoe, "PC01", 1));
    EXPECT_TRUE(PermissionGranted(acl, roles, jdoe, "PC01", 3));
    EXPECT_FALSE(PermissionGranted(acl, roles, jdoe, "PC01", 4));
    EXPECT_FALSE(PermissionGranted(acl, roles, jdoe, "PC01", 0));
    EXPECT_FALSE(PermissionGranted({}, roles, jdoe, "PC01", 1));
}

TEST(AccessRulesTest, UnreadableCachesGiveNothing)
{
    std::vector<CachedRole> roles;
    EXPECT_FALSE(ParseRoleCache("not xml", roles));
    EXPECT_EQ(FindObjectDn("<DOCUMENT>", "a", "b", "c"), "");
    std::vector<AccessGrant> acl;
    EXPECT_FALSE(
        FindAccessList("<DOCUMENT><KVTAPPLS><APPL><APPLDN>{A}</APPLDN><ACL>!!</ACL></APPL></KVTAPPLS>"
                       "</DOCUMENT>",
                       "{A}", acl));
}

TEST(AccessRulesTest, LookupsReadTheApplicationsInOrderAndNothingFromADamagedList)
{
    const std::string acl = zyr::cipher::Encrypt("Operators:1;");
    const std::string list = "<DOCUMENT><KVTAPPLS><APPL><APPLDN>{A}</APPLDN><APPLNAME>One</APPLNAME></APPL>"
                             "<APPL><APPLDN>{B}</APPLDN><APPLNAME>Two</APPLNAME><SECGROUP><GROUPDN>{G}"
                             "</GROUPDN><GROUPNAME>Pumps</GROUPNAME><ACL>" +
                             acl +
                             "</ACL><SECOBJ><SECOBJDN>{O}</SECOBJDN><SECOBJNAME>P-1</SECOBJNAME></SECOBJ>"
                             "</SECGROUP></APPL><APPLCOUNT>2</APPLCOUNT></KVTAPPLS></DOCUMENT>";
    std::vector<AccessGrant> grants;
    for (const std::string& head :
         {std::string(), std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")}) {
        EXPECT_EQ(FindObjectDn(head + list, "two", "PUMPS", "p-1"), "{O}");
        ASSERT_TRUE(FindAccessList(head + list, "{G}", grants));
        ASSERT_EQ(grants.size(), 1u);
        EXPECT_EQ(grants[0].mask, 1u);
    }
    // A list that does not parse to its end answers nothing, as when read whole.
    const std::string damaged = list.substr(0, list.find("<APPLCOUNT>")) + "<APPL><X a=1/></APPL>" +
                                list.substr(list.find("<APPLCOUNT>"));
    EXPECT_EQ(FindObjectDn(damaged, "two", "pumps", "p-1"), "");
    EXPECT_FALSE(FindAccessList(damaged, "{G}", grants));
}

} // namespace
