// The sign-in of the account running the tests against the reference
// security server seeded with the demo data, whose "Security Administrators"
// role holds that account and is granted "Open" on the console.
#include "cache/TextCipher.h"
#include "signin/AccessRules.h"
#include "signin/FindUser.h"
#include "signin/SignIn.h"
#include "tests/signin/SigninFixture.h"
#include "tests/support/ReferenceServer.h"
#include "web/SecurityPost.h"
#include "web/WebPage.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

namespace {

using namespace zyr::signin;
using zyr::test::ReferenceServer;

class SignInServerTest : public zyr::testing::SigninFixture {
protected:
    void SetUp() override
    {
        SigninFixture::SetUp();
        if (!ReferenceServer::Available()) {
            GTEST_SKIP() << "the reference server is not built";
        }
        // The operating system's own account and host, as the server's seed takes them.
        char name[256] = {};
        gethostname(name, sizeof(name) - 1);
        host = name;
        passwd* entry = getpwuid(geteuid());
        ASSERT_NE(entry, nullptr);
        account = entry->pw_name;
        ASSERT_TRUE(reference.Start({"--seed", "demo", "--enable-test-controls", "--log-level", "error"}));
        url = reference.RequestUrl();
        UseServer(url);
    }

    LoginFields LogonUserFields()
    {
        LoginFields fields;
        fields.useLogonUser = 1;
        FillFromLogonUser(fields);
        return fields;
    }

    ReferenceServer reference;
    std::string url;
};

TEST_F(SignInServerTest, TheSeededAdministratorOpensTheConsoleUntilItsMembershipIsRemoved)
{
    LoginFields fields = LogonUserFields();
    SignInVerdict verdict = DecideSignIn(fields);
    EXPECT_EQ(verdict.message, "");
    EXPECT_EQ(verdict.end, SignInEnd::EndOk);

    std::string domain, user;
    FindUserAnswer answer = GetRoles(domain, user);
    // "Maintenance" lists "Everyone".
    EXPECT_EQ(answer.roles, (std::vector<std::string>{"Security Administrators", "Maintenance"}));

    // Take the account out of the role that grants "Open"; another member
    // stays, as the server keeps somebody able to open the console.
    std::string roles;
    ASSERT_TRUE(GetWebPage(url + "?Object=Role&Operation=Get", roles, false));
    std::vector<CachedRole> list;
    ASSERT_TRUE(ParseRoleCache(roles, list));
    ASSERT_FALSE(list.empty());
    ASSERT_EQ(list.front().name, "Security Administrators");
    std::string result = PostSecurityRequest(
        url + "?Object=Role&Operation=Update&CN=Security%20Administrators&DN=" + list.front().dn +
            "&Desc=x&User=TEST%5Cadmin&Computer=TEST",
        "MemberUser=" + zyr::cipher::Encrypt("TEST\\other") + "&MemberGroup=");
    ASSERT_EQ(result, "OK");

    verdict = DecideSignIn(fields);
    EXPECT_EQ(verdict.message, kRefusedMessage);
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);

    // Both decisions are in the server's authentication and authorization log.
    std::string logs;
    ASSERT_TRUE(GetWebPage(url + "?Object=Log&Operation=Get&DisplaySet=0", logs, false));
    EXPECT_NE(logs.find("<ACTION>Authorize</ACTION><STATUS>Failed</STATUS>"), std::string::npos);
    EXPECT_NE(logs.find("<ACTION>Authorize</ACTION><STATUS>Success</STATUS>"), std::string::npos);
}

} // namespace
