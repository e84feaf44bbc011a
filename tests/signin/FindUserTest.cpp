#include "signin/FindUser.h"
#include "tests/signin/SigninFixture.h"
#include "tests/support/PreloadWrappers.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

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
    const char* wrapped = std::getenv("NSS_WRAPPER_GROUP");
    if (wrapped == nullptr) {
        const zyr::test::WrapperPath wrapper = zyr::test::NssWrapperLibrary();
        if (wrapper.path.empty()) {
            ASSERT_FALSE(wrapper.installed) << wrapper.problem;
            GTEST_SKIP() << wrapper.problem;
        }
        const char* library = wrapper.path.c_str();
        auto passwd = registry.Root() / "passwd";
        auto group = registry.Root() / "group";
        std::ofstream(passwd) << "dana:x:4101:4101:Dana:/nonexistent:/bin/false\n";
        std::ofstream(group) << "dana:x:4101:\nengineering:x:4200:dana\n";
        std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        pid_t child = fork();
        if (child == 0) {
            setenv("LD_PRELOAD", library, 1);
            setenv("NSS_WRAPPER_PASSWD", passwd.c_str(), 1);
            setenv("NSS_WRAPPER_GROUP", group.c_str(), 1);
            setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
            execl(self.c_str(), self.c_str(),
                  "--gtest_filter=FindUserTest.MembershipThroughANameServiceGroup",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        return;
    }
    std::string domain = "build-07", user = "dana";
    FindUserAnswer answer = GetRoles(domain, user);
    EXPECT_EQ(answer.message, "");
    EXPECT_EQ(answer.roles, (std::vector<std::string>{"Engineers", "Maintenance"}));
}

} // namespace
