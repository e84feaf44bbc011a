#include "signin/SignIn.h"
#include "platform/ui/UiService.h"
#include "signin/LoginSettings.h"
#include "signin/components/AuthInterfaces.h"
#include "tests/signin/SigninFixture.h"
#include "tests/support/PreloadWrappers.h"
#include "web/ServerConnection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

using namespace zyr::signin;
using zyr::testing::SigninFixture;
using zyr::testing::TempRegistry;

class SignInTest : public SigninFixture {
protected:
    LoginFields LogonUserFields()
    {
        LoginFields fields;
        fields.useLogonUser = 1;
        FillFromLogonUser(fields);
        return fields;
    }
};

TEST_F(SignInTest, AnEmptyDomainOrUserNameIsAnInvalidEntryAndNothingIsSent)
{
    LoginFields fields;
    fields.userName = "jdoe";
    SignInVerdict verdict = DecideSignIn(fields);
    EXPECT_EQ(verdict.message, "Invalid Entry.  Please enter again.");
    EXPECT_EQ(verdict.icon, zyr::ui::MB_ICONINFORMATION);
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);
    fields.userName = "";
    fields.domain = "CORP";
    EXPECT_EQ(DecideSignIn(fields).message, kInvalidEntryMessage);
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(SignInTest, TheConsoleOpensWhenTheOperatorsRoleGrantsOpen)
{
    WriteRoleCache({{"Security Administrators", {"BUILD-07\\operator"}, {}}, {"Guests", {}, {"Everyone"}}});
    WriteApplCache(ApplicationsXml("Guests:2;Security Administrators:1;"));
    SignInVerdict verdict = DecideSignIn(LogonUserFields());
    EXPECT_EQ(verdict.end, SignInEnd::EndOk);
    EXPECT_EQ(verdict.message, "");
    EXPECT_EQ(zyr::PeekCurrentUserName(), "BUILD-07\\operator");
    // The logon and the permission check are both in the server's log.
    auto logs = LogBodies();
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_NE(logs[0].find("User=BUILD-07%5Coperator&Action=Logon&Status=Success&Computer=BUILD-07"),
              std::string::npos)
        << logs[0];
    EXPECT_NE(logs[1].find("Action=Authorize&Status=Success"), std::string::npos) << logs[1];
    // The sign-in is remembered, the password never.
    LoginFields remembered;
    EXPECT_EQ(LoadLoginSettings(remembered), S_OK);
    EXPECT_EQ(remembered.useLogonUser, 1);
}

TEST_F(SignInTest, AnOperatorWithoutOpenIsRefusedAndMayTryAgain)
{
    WriteRoleCache({{"Security Administrators", {"BUILD-07\\someone-else"}, {}},
                    {"Operators", {"BUILD-07\\operator"}, {}}});
    WriteApplCache(ApplicationsXml("Operators:2;Security Administrators:1;"));
    SignInVerdict verdict = DecideSignIn(LogonUserFields());
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);
    EXPECT_EQ(verdict.message, kRefusedMessage);
    EXPECT_EQ(verdict.icon, zyr::ui::MB_ICONERROR);
    auto logs = LogBodies();
    ASSERT_FALSE(logs.empty());
    EXPECT_NE(logs.back().find("Action=Authorize&Status=Failed"), std::string::npos);
}

TEST_F(SignInTest, AnEmptyListOnTheConsoleObjectLetsTheOperatorInWithAReminder)
{
    WriteRoleCache({{"Operators", {"BUILD-07\\operator"}, {}}});
    WriteApplCache(ApplicationsXml(""));
    SignInVerdict verdict = DecideSignIn(LogonUserFields());
    EXPECT_EQ(verdict.end, SignInEnd::EndOk);
    EXPECT_EQ(verdict.message,
              "ZYR Security Manager is not secured, please assign \"Open\" permission to role(s).");
    EXPECT_EQ(verdict.icon, zyr::ui::MB_ICONINFORMATION);
}

TEST_F(SignInTest, AConsoleObjectMissingFromTheDatabaseMeansNotSecured)
{
    WriteRoleCache({});
    WriteApplCache(ApplicationsXml("", false));
    SignInVerdict verdict = DecideSignIn(LogonUserFields());
    EXPECT_EQ(verdict.end, SignInEnd::EndOk);
    EXPECT_EQ(verdict.message, kNotSecuredMessage);
    EXPECT_EQ(verdict.icon, zyr::ui::MB_ICONWARNING);
}

TEST_F(SignInTest, AnApplicationListThatCannotBeHadIsNoUnsecuredConsole)
{
    WriteRoleCache({}); // the server answers, but with no list, and no list was cached
    SignInVerdict verdict = DecideSignIn(LogonUserFields());
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);
    EXPECT_EQ(verdict.icon, zyr::ui::MB_ICONERROR);
    EXPECT_EQ(verdict.message.rfind("Could not connect to ZYR Security Server", 0), 0u) << verdict.message;
}

TEST_F(SignInTest, AServerThatDoesNotAnswerIsNamedByItsHostAlone)
{
    TempRegistry::SetText(HKEY_LOCAL_MACHINE, zyr::testing::kFrameworkKey, "URL",
                          "http://localhost:1/zyr/sec.asp");
    zyr::ResetServerSettings();
    SignInVerdict verdict = DecideSignIn(LogonUserFields());
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);
    EXPECT_EQ(verdict.icon, zyr::ui::MB_ICONERROR);
    EXPECT_EQ(verdict.message,
              "Could not connect to ZYR Security Server \"localhost\" via HTTP with the URL : "
              "http://localhost:1/zyr/sec.asp");
    EXPECT_EQ(zyr::PeekCurrentUserName(), ""); // nobody signed in
}

TEST(ConnectionMessageTest, TheHostComesAfterTheSchemeWhateverTheScheme)
{
    EXPECT_EQ(ConnectionFailureMessage(""), "Could not connect to ZYR Security Server.");
    EXPECT_EQ(ConnectionFailureMessage("https://sec.plant.local/zyr"),
              "Could not connect to ZYR Security Server \"sec.plant.local\" via HTTP with the URL : "
              "https://sec.plant.local/zyr");
    std::string longHost(300, 'h');
    std::string message = ConnectionFailureMessage("http://" + longHost);
    EXPECT_NE(message.find("\"" + std::string(255, 'h') + "\""), std::string::npos);
}

TEST_F(SignInTest, MissingComponentsStopTheSignIn)
{
    WriteRoleCache({});
    WriteApplCache(ApplicationsXml("Security Administrators:1;"));
    zyr::com::ResetClassTable();
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + zyr::com::GuidToString(CLSID_KvtAuthorize)).c_str());
    SignInVerdict verdict = DecideSignIn(LogonUserFields());
    EXPECT_EQ(verdict.message, "ZYR Security Manager initialization failed.");
    EXPECT_EQ(verdict.icon, zyr::ui::MB_ICONWARNING);
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);

    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + zyr::com::GuidToString(CLSID_KvtAuthenticate)).c_str());
    EXPECT_EQ(DecideSignIn(LogonUserFields()).message, kBadCredentialsMessage);
}

TEST_F(SignInTest, TheRememberedSignInFollowsTheLogonUserSwitch)
{
    LoginFields fields;
    EXPECT_EQ(LoadLoginSettings(fields), E_FAIL); // nothing remembered yet
    EXPECT_EQ(fields.useLogonUser, 1);
    EXPECT_EQ(fields.userName.view(), "operator");

    TempRegistry::SetText(HKEY_CURRENT_USER, kLoginSettingsKey, "UserName", "jdoe");
    TempRegistry::SetText(HKEY_CURRENT_USER, kLoginSettingsKey, "Domain", "CORP");
    TempRegistry::SetDword(HKEY_CURRENT_USER, kLoginSettingsKey, "LoginUser", 0);
    LoginFields typed;
    EXPECT_EQ(LoadLoginSettings(typed), S_OK);
    EXPECT_EQ(typed.useLogonUser, 0);
    EXPECT_EQ(typed.userName.view(), "jdoe");
    EXPECT_EQ(typed.domain.view(), "CORP");

    TempRegistry::SetDword(HKEY_CURRENT_USER, kLoginSettingsKey, "LoginUser", 1);
    LoginFields logon;
    EXPECT_EQ(LoadLoginSettings(logon), S_OK);
    EXPECT_EQ(logon.useLogonUser, 1);
    EXPECT_EQ(logon.userName.view(), "operator");
    EXPECT_EQ(logon.domain.view(), "BUILD-07");

    typed.password = "secret";
    EXPECT_EQ(SaveLoginSettings(typed), S_OK);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kLoginSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    char name[64];
    DWORD index = 0, size = sizeof(name);
    std::vector<std::string> names;
    while (RegEnumValueA(key, index++, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        names.emplace_back(name);
        size = sizeof(name);
    }
    RegCloseKey(key);
    EXPECT_EQ(names.size(), 3u);
    for (const auto& value : names) {
        EXPECT_NE(value, "Password");
    }
}

// Credentials are checked by PAM under the "zyr-security" service; the test
// points it at a service file of its own that uses pam_matrix.
class PamSignInTest : public SignInTest {
protected:
    void SetUp() override
    {
        SignInTest::SetUp();
        const zyr::test::WrapperPath wrapper = zyr::test::PamMatrixModule();
        if (wrapper.path.empty()) {
            ASSERT_FALSE(wrapper.installed) << wrapper.problem;
            GTEST_SKIP() << wrapper.problem;
        }
        const std::string& matrix = wrapper.path;
        auto pamDir = registry.Root() / "pam.d";
        std::filesystem::create_directories(pamDir);
        auto passdb = registry.Root() / "passdb";
        std::ofstream(passdb) << "jdoe:secret:zyr-security\njdoe@CORP.EXAMPLE:corp-secret:zyr-security\n";
        std::ofstream(pamDir / "zyr-security")
            << "auth required " << matrix << " passdb=" << passdb.string() << "\naccount required " << matrix
            << " passdb=" << passdb.string() << "\n";
        setenv("ZYR_PAM_CONFDIR", pamDir.c_str(), 1);
        WriteRoleCache({{"Security Administrators", {"BUILD-07\\jdoe", "CORP.EXAMPLE\\jdoe"}, {}}});
        WriteApplCache(ApplicationsXml("Security Administrators:1;"));
    }
    void TearDown() override
    {
        unsetenv("ZYR_PAM_CONFDIR");
        SignInTest::TearDown();
    }

    static LoginFields Typed(const char* domain, const char* user, const char* password)
    {
        LoginFields fields;
        fields.domain = domain;
        fields.userName = user;
        fields.password = password;
        return fields;
    }
};

TEST_F(PamSignInTest, AWrongPasswordIsRefusedBeforeTheServerIsAsked)
{
    SignInVerdict verdict = DecideSignIn(Typed("BUILD-07", "jdoe", "wrong"));
    EXPECT_EQ(verdict.message, "Invalid User Name or Password");
    EXPECT_EQ(verdict.icon, zyr::ui::MB_ICONERROR);
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);
    auto logs = LogBodies();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(logs[0].find("User=BUILD-07%5Cjdoe&Action=Logon&Status=Failed"), std::string::npos) << logs[0];
}

TEST_F(PamSignInTest, LocalAndDirectoryAccountsSignInWithTheirPasswords)
{
    EXPECT_EQ(DecideSignIn(Typed("build-07", "jdoe", "secret")).end, SignInEnd::EndOk);
    EXPECT_EQ(zyr::PeekCurrentUserName(), "build-07\\jdoe");
    // Another domain goes to PAM as user@domain.
    EXPECT_EQ(DecideSignIn(Typed("CORP.EXAMPLE", "jdoe", "secret")).message, kBadCredentialsMessage);
    EXPECT_EQ(DecideSignIn(Typed("CORP.EXAMPLE", "jdoe", "corp-secret")).end, SignInEnd::EndOk);
}

TEST_F(PamSignInTest, AServerThatWantsAPasswordGetsTheTypedOneAndTheLogonUserIsToldSo)
{
    bool accept = true;
    server.SetHandler([&accept](const zyr::test::RecordedRequest& request) -> zyr::test::ScriptedReply {
        if (!accept || request.Header("Authorization") != "Basic amRvZTpzZWNyZXQ=") {
            return {.status = 401, .headers = {{"WWW-Authenticate", "Basic realm=\"ZYR Security\""}}};
        }
        return {.body = "ZYR Security Server"};
    });
    SignInVerdict verdict = DecideSignIn(LogonUserFields());
    EXPECT_EQ(verdict.message, kPasswordNeededMessage);
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);

    EXPECT_EQ(DecideSignIn(Typed("BUILD-07", "jdoe", "secret")).end, SignInEnd::EndOk);
    EXPECT_TRUE(zyr::web::HaveServerCredentials());
    // A refusal by the server names no part of the credentials and keeps none.
    accept = false;
    verdict = DecideSignIn(Typed("BUILD-07", "jdoe", "secret"));
    EXPECT_EQ(verdict.message, kBadCredentialsMessage);
    EXPECT_EQ(verdict.end, SignInEnd::StayOpen);
    EXPECT_FALSE(zyr::web::HaveServerCredentials());
}

} // namespace

namespace {

using namespace zyr::signin;

class LoginFieldsViewTest : public zyr::testing::SettingsFixture {};

TEST_F(LoginFieldsViewTest, TheCheckBoxTakesTheLogonUserAndEmptiesThePassword)
{
    LoginFields fields;
    fields.userName = "jdoe";
    fields.domain = "CORP";
    fields.password = "secret";
    LoginFieldsView view = OnLogonUserClicked(fields);
    EXPECT_TRUE(view.editsEnabled);
    EXPECT_EQ(fields.userName.view(), "jdoe");
    fields.useLogonUser = 1;
    view = OnLogonUserClicked(fields);
    EXPECT_FALSE(view.editsEnabled);
    EXPECT_EQ(fields.password.view(), "");
    EXPECT_EQ(fields.userName.view(), "operator");
    EXPECT_EQ(fields.domain.view(), "BUILD-07");
    EXPECT_STREQ(view.domainLabel, "&Domain:");
}

TEST_F(LoginFieldsViewTest, ADirectoryClientAlwaysUsesTheLogonUser)
{
    zyr::testing::TempRegistry::SetDword(HKEY_LOCAL_MACHINE, zyr::testing::kClientKey, "NovellClient", 1);
    zyr::testing::TempRegistry::SetText(HKEY_CURRENT_USER, kLoginSettingsKey, "UserName", "jdoe");
    zyr::testing::TempRegistry::SetText(HKEY_CURRENT_USER, kLoginSettingsKey, "Domain", "CORP");
    LoginFields fields;
    LoginFieldsView view = InitializeLoginFields(fields);
    EXPECT_EQ(fields.useLogonUser, 1);
    EXPECT_FALSE(view.editsEnabled);
    EXPECT_STREQ(view.domainLabel, "&Context:");
    EXPECT_NE(fields.userName.view(), "jdoe");
    fields.useLogonUser = 0;
    view = OnLogonUserClicked(fields);
    EXPECT_EQ(fields.useLogonUser, 1);
    EXPECT_FALSE(view.editsEnabled);
}

} // namespace
