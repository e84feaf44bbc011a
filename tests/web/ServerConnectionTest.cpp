#include "web/ServerConnection.h"

#include "common/ServerSettings.h"
#include "tests/platform/TempRegistry.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TestRealm.h"
#include "web/HostProbe.h"
#include "web/SecurityPost.h"
#include "web/WebPage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

using zyr::test::ScriptedHttpServer;

constexpr const char* kMachineKey = "SOFTWARE\\Tarnwick\\ZYR";
// "Basic " and the Base64 of "ops:s3cr:t" (a colon in the password is kept).
constexpr const char* kOpsAuthorization = "Basic b3BzOnMzY3I6dA==";

class ServerConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAll(); }
    void TearDown() override { ResetAll(); }
    static void ResetAll()
    {
        zyr::web::ClearServerCredentials();
        zyr::web::ResetWebSession();
        zyr::web::ResetEchoSocketOpener();
        zyr::ResetServerSettings();
    }

    zyr::testing::TempRegistry registry;
};

TEST_F(ServerConnectionTest, EveryCarrierGoesThroughTheConfiguredSocketWithoutProbeOrPassword)
{
    const std::string socket = registry.Root().string() + "/server.sock";
    ScriptedHttpServer server(socket);
    ASSERT_TRUE(server.IsRunning());
    server.SetDefaultReply({.body = "<DOCUMENT/>"});
    ASSERT_TRUE(zyr::testing::TempRegistry::SetText(HKEY_LOCAL_MACHINE, kMachineKey, "UnixSocket",
                                                    "  " + socket + " "));
    // The probe would need a host that answers: it is not asked.
    ASSERT_TRUE(zyr::testing::TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kMachineKey, "NetworkTest", 1));
    ASSERT_TRUE(zyr::web::SetServerCredentials("ops", "s3cr:t"));

    const std::string url = "http://plant-server.invalid/zyr/sec.asp";
    std::string reply;
    EXPECT_TRUE(GetWebPage(url + "?Object=Role&Operation=Get", reply, true));
    EXPECT_EQ(PostSecurityRequest(url + "?Object=Role&Operation=Add", "CN=x"), "<DOCUMENT/>");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/zyr/sec.asp?Object=Role&Operation=Get");
    EXPECT_EQ(requests[1].method, "POST");
    for (const auto& request : requests) {
        EXPECT_EQ(request.Header("Host"), "plant-server.invalid");
        EXPECT_FALSE(request.HasHeader("Authorization"));
    }

    // zyrsec's option replaces the registry value for the run.
    zyr::web::ResetWebSession();
    ASSERT_TRUE(zyr::SetServerUnixSocket(registry.Root().string() + "/missing.sock"));
    EXPECT_EQ(PostSecurityRequest(url, "CN=x").substr(0, 4), "800 ");
    EXPECT_FALSE(GetWebPage(url, reply, true));
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(ServerConnectionTest, TheSignedInAccountGoesWithEveryRequestOnTcpUntilCleared)
{
    ScriptedHttpServer server;
    ScriptedHttpServer elsewhere;
    server.SetDefaultReply({.body = "<DOCUMENT/>"});
    elsewhere.SetDefaultReply({.body = "<DOCUMENT/>"});
    ASSERT_TRUE(zyr::web::SetServerCredentials("ops", "s3cr:t"));
    EXPECT_FALSE(zyr::web::SetServerCredentials("ops", std::string(256, 'p')));
    EXPECT_FALSE(zyr::web::HaveServerCredentials()) << "a refused account leaves none in force";
    ASSERT_TRUE(zyr::web::SetServerCredentials("ops", "s3cr:t"));

    std::string reply;
    EXPECT_TRUE(GetWebPage(server.Url("/get"), reply, true));
    EXPECT_EQ(PostSecurityRequest(server.Url("/post"), "CN=x"), "<DOCUMENT/>");
    // A POST redirected within the server keeps the account; to another
    // origin (another port) it does not follow.
    server.Enqueue({.status = 302, .headers = {{"Location", server.Url("/moved")}}});
    EXPECT_EQ(PostSecurityRequest(server.Url("/post"), "CN=x"), "<DOCUMENT/>");
    server.Enqueue({.status = 302, .headers = {{"Location", elsewhere.Url("/moved")}}});
    EXPECT_EQ(PostSecurityRequest(server.Url("/post"), "CN=x"), "<DOCUMENT/>");
    ASSERT_EQ(elsewhere.RequestCount(), 1u);
    EXPECT_FALSE(elsewhere.Requests()[0].HasHeader("Authorization"));

    zyr::web::ClearServerCredentials();
    EXPECT_TRUE(GetWebPage(server.Url("/get"), reply, true));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 6u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(requests[i].Header("Authorization"), kOpsAuthorization) << requests[i].target;
    }
    EXPECT_FALSE(requests[5].HasHeader("Authorization"));

    // The status of a refusal is kept for the sign-in's message.
    server.Enqueue({.status = 401, .headers = {{"WWW-Authenticate", "Basic realm=\"ZYR Security\""}}});
    EXPECT_FALSE(GetWebPage(server.Url("/get"), reply, false));
    EXPECT_EQ(zyr::web::LastHttpStatus(), 401);
}

// Without an account the carriers answer a server that asks for Negotiate with
// the operator's ticket (the test realm of scripts/test-kdc, ZYR_TEST_KRB5),
// and the kept-alive session stays signed in.
TEST_F(ServerConnectionTest, TheOperatorsTicketAnswersNegotiateWithoutAPassword)
{
    const std::string realm = zyr::test::TestRealm();
    if (realm.empty() || !zyr::test::ReferenceServer::Available()) {
        GTEST_SKIP() << zyr::test::kNoTestRealm << ", or the reference server is not built";
    }
    zyr::test::ReferenceServer server;
    ASSERT_TRUE(server.Start({"--seed", "demo", "--seed-admin", "PLANT\\alice", "--auth", "negotiate",
                              "--keytab", realm + "/http.keytab", "--log-level", "error"}));
    // The ticket is for HTTP/localhost: the URL names that host.
    const std::string url = "http://localhost:" + std::to_string(server.Port()) + "/zyr/security";
    std::string reply;
    EXPECT_TRUE(GetWebPage(url + "?Object=Role&Operation=Get", reply, true)) << reply;
    EXPECT_TRUE(GetWebPage(url + "?Operation=GetServerVersion", reply, true));
    EXPECT_EQ(PostSecurityRequest(url + "?Object=Role&Operation=Add&CN=Night&DN=%7Bn1%7D&Desc=",
                                  "MemberUser=&MemberGroup="),
              "OK");

    // A server that asks for Basic alone is sent no ticket: it would count
    // one as a failed attempt.
    ScriptedHttpServer basicOnly;
    basicOnly.SetDefaultReply({.status = 401, .headers = {{"WWW-Authenticate", "Basic realm=\"ZYR\""}}});
    std::string other = basicOnly.Url("/get");
    other.replace(other.find("127.0.0.1"), 9, "localhost");
    EXPECT_EQ(PostSecurityRequest(other, ""), "401");
    ASSERT_EQ(basicOnly.RequestCount(), 1u);
    EXPECT_FALSE(basicOnly.Requests()[0].HasHeader("Authorization"));

    setenv("KRB5CCNAME", ("FILE:" + registry.Root().string() + "/no-ticket").c_str(), 1);
    zyr::web::ResetWebSession();
    reply.clear();
    EXPECT_FALSE(GetWebPage(url + "?Operation=GetServerVersion", reply, false));
    EXPECT_EQ(zyr::web::LastHttpStatus(), 401);
    EXPECT_EQ(PostSecurityRequest(url + "?Operation=GetServerVersion", ""), "401");
    zyr::test::TestRealm();
}

} // namespace
