#include "signin/FindUser.h"
#include "tests/signin/SigninFixture.h"
#include "tests/support/NssWrapperRun.h"

#include <gtest/gtest.h>

namespace {

using namespace zyr::signin;
using zyr::testing::SigninFixture;

class FindUserTest : public SigninFixture {
protected:
    void SetUp() override
    {
        SigninFixture::SetUp();
        WriteApplCache(ApplicationsXml(""));
        WriteRoleCache({{"Operators", {"BUILD-07\\operator", "CORP\\jdoe"}, {}},
                        {"Engineers", {"BUILD-07\\carol"}, {"BUILD-07\\engineering"}},
                        {"Maintenance", {}, {"Everyone"}},
                        {"Auditors", {"corp\\JDOE"}, {}}});
    }
};

TEST_F(FindUserTest, OnlyOneFieldGivenAsksForTheOther)
{
    std::string domain = "CORP", user;
    FindUserAnswer answer = GetRoles(domain, user);
    EXPECT_EQ(answer.message, "Please enter an User Name");
    domain.clear();
    user = "jdoe";
    EXPECT_EQ(GetRoles(domain, user).message, "Please enter a Domain Name");
    EXPECT_TRUE(answer.roles.empty());
    EXPECT_EQ(answer.countText, "");
}

TEST_F(FindUserTest, DirectMembershipAndEveryoneGiveTheRolesInCacheOrder)
{
    std::string domain = "CORP", user = "jdoe";
    FindUserAnswer answer = GetRoles(domain, user);
    EXPECT_EQ(answer.message, "");
    EXPECT_EQ(answer.roles, (std::vector<std::string>{"Operators", "Maintenance", "Auditors"}));
    EXPECT_EQ(answer.countText, "Number of Roles :  3");
    EXPECT_FALSE(answer.fieldsFilled);

    domain = "ELSEWHERE";
    user = "nobody";
    answer = GetRoles(domain, user);
    EXPECT_EQ(answer.roles, (std::vector<std::string>{"Maintenance"}));
    EXPECT_EQ(answer.countText, "Number of Roles :  1");
}

TEST_F(FindUserTest, BothFieldsEmptyAskAboutTheLogonUser)
{
    std::string domain, user;
    FindUserAnswer answer = GetRoles(domain, user);
    EXPECT_TRUE(answer.fieldsFilled);
    EXPECT_EQ(domain, "BUILD-07");
    EXPECT_EQ(user, "operator");
    EXPECT_EQ(answer.roles, (std::vector<std::string>{"Operators", "Maintenance"}));
}

TEST_F(FindUserTest, AMissingComponentFailsTheQuery)
{
    zyr::com::ResetClassTable();
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + zyr::com::GuidToString(CLSID_KvtAuthorize)).c_str());
    std::string domain = "CORP", user = "jdoe";
    FindUserAnswer answer = GetRoles(domain, user);
    EXPECT_EQ(answer.message, "Exception occured while getting UserRoles");
    EXPECT_TRUE(answer.roles.empty());
    EXPECT_EQ(answer.countText, "");
}

TEST(RoleNamesTest, OneDimensionIsTrimmedNoDimensionIsEmptyOthersFail)
{
    TextArrayVariant variant;
    std::vector<std::string> names{"stale"};
    EXPECT_TRUE(ConvertRoleNames(variant, names));
    EXPECT_TRUE(names.empty());
    variant.dimensions = 1;
    variant.lowerBound = 1;
    variant.elements = {u"  Operators ", u"\tPlant Ops\r\n", u""};
    EXPECT_TRUE(ConvertRoleNames(variant, names));
    EXPECT_EQ(names, (std::vector<std::string>{"Operators", "Plant Ops", ""}));
    variant.dimensions = 2;
    EXPECT_FALSE(ConvertRoleNames(variant, names));
    EXPECT_EQ(RoleCountText(12), "Number of Roles : 12");
}

// Membership through a name-service group needs the name service to know the
// account: the test runs itself again under nss_wrapper with files of its own.
TEST_F(FindUserTest, MembershipThroughANameServiceGroup)
{
    if (!zyr::test::UnderNssWrapper(registry.Root(), "dana:x:4101:4101:Dana:/nonexistent:/bin/false\n",
                                    "dana:x:4101:\nengineering:x:4200:dana\n")) {
        return;
    }
    std::string domain = "build-07", user = "dana";
    FindUserAnswer answer = GetRoles(domain, user);
    EXPECT_EQ(answer.message, "");
    EXPECT_EQ(answer.roles, (std::vector<std::string>{"Engineers", "Maintenance"}));
}

} // namespace
