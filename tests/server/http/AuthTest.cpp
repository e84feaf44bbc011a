// The ways of authentication of the real server: HTTP Basic checked with PAM
// (pam_matrix stands in for the system's rules) over TCP and TLS, Kerberos
// tickets (Negotiate) of the test realm (ZYR_TEST_KRB5, scripts/test-kdc),
// and the peer credentials of the Unix socket, with curl as the client.
#include "server/service/Accounts.h"
#include "tests/server/ServerFixture.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/PreloadWrappers.h"
#include "tests/support/TestRealm.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zyr::server::test {
namespace {

// curl's reply body, then a line with the status and the WWW-Authenticate
// and Retry-After fields.
std::string Curl(const std::string& args)
{
    std::string command =
        "curl -s -k -w '\\n%{http_code} %header{www-authenticate}%header{retry-after}' " + args;
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
            out.append(buffer.data(), n);
        }
        ::pclose(pipe);
    }
    return out;
}

class AuthTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const zyr::test::WrapperPath matrix = zyr::test::PamMatrixModule();
        if (matrix.path.empty()) {
            ASSERT_FALSE(matrix.installed) << matrix.problem;
            GTEST_SKIP() << matrix.problem;
        }
        if (std::system("curl --version >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "needs curl";
        }
        const std::string& kMatrix = matrix.path;
        auto pamDir = dir.path() / "pam.d";
        std::filesystem::create_directories(pamDir);
        auto passdb = (dir.path() / "passdb").string();
        std::ofstream(passdb) << "jdoe:secret:zyr-security-server\nann:pw:zyr-security-server\n";
        std::ofstream(pamDir / "zyr-security-server")
            << "auth required " << kMatrix << " passdb=" << passdb << "\naccount required " << kMatrix
            << " passdb=" << passdb << "\n";
        ::setenv("ZYR_PAM_CONFDIR", pamDir.c_str(), 1);
    }
    void TearDown() override { ::unsetenv("ZYR_PAM_CONFDIR"); }

    bool Start(std::vector<std::string> more)
    {
        std::vector<std::string> args = {"--db",         (dir.path() / "auth.db").string(), "--seed", "demo",
                                         "--seed-admin", ShortHostName() + "\\jdoe"};
        args.insert(args.end(), more.begin(), more.end());
        return server.Start(args);
    }
    std::string Url(const char* scheme, const std::string& query)
    {
        return std::string("'") + scheme + "://127.0.0.1:" + std::to_string(server.port()) +
               "/zyr/security?" + query + "'";
    }

    TempDir dir;
    ServerProcess server;
    const std::string addRole = "Object=Role&Operation=Add&CN=R1&DN=%7Br1%7D&Desc=&MemberUser=&MemberGroup=";
};

TEST_F(AuthTest, BasicOnTcpAsksForCredentialsChecksThemWithPamAndLimitsFailures)
{
    ASSERT_TRUE(Start({"--auth", "basic"}));
    const std::string version = Url("http", "Operation=GetServerVersion");
    const std::string challenge = "\n401 Basic realm=\"ZYR Security\"";
    EXPECT_EQ(Curl(version), "Unauthorized" + challenge);
    // A wrong password and an unknown account look the same.
    EXPECT_EQ(Curl("-u jdoe:wrong " + version), "Unauthorized" + challenge);
    EXPECT_EQ(Curl("-u nobody-here:secret " + version), "Unauthorized" + challenge);
    // The administrator changes; a plain account reads and is refused changes.
    EXPECT_EQ(Curl("-u jdoe:secret " + Url("http", addRole)), "OK\n200 ");
    EXPECT_EQ(Curl("-u ann:pw " + version), "2.3\n200 ");
    EXPECT_EQ(Curl("-u ann:pw " + Url("http", addRole)),
              "Error: " + ShortHostName() + "\\ann may not change the security database\n200 ");
    // The fifth failure within the window closes the address for a while,
    // right credentials included; an account's success does not reopen it.
    EXPECT_EQ(Curl("-u ann:bad " + version), "Unauthorized" + challenge);
    EXPECT_EQ(Curl("-u ann:bad " + version), "Unauthorized" + challenge);
    std::string limited = Curl("-u ann:bad " + version);
    EXPECT_NE(limited.find("\n429 60"), std::string::npos) << limited;
    EXPECT_NE(Curl("-u jdoe:secret " + version).find("\n429 "), std::string::npos);
}

TEST_F(AuthTest, BasicNeedsTlsOffLoopbackAndNoAuthStaysOnLoopback)
{
    EXPECT_FALSE(
        server.Start({"--db", (dir.path() / "a.db").string(), "--listen", "0.0.0.0:0", "--auth", "basic"}));
    EXPECT_FALSE(server.Start({"--db", (dir.path() / "a.db").string(), "--listen", "0.0.0.0:0"}));
    std::string cert = (dir.path() / "cert.pem").string(), key = (dir.path() / "key.pem").string();
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=t -keyout " + key +
                           " -out " + cert + " >/dev/null 2>&1")
                              .c_str()),
              0);
    ASSERT_TRUE(Start({"--listen", "0.0.0.0:0", "--auth", "basic", "--tls-cert", cert, "--tls-key", key}));
    EXPECT_EQ(Curl(Url("https", "Operation=GetServerVersion")),
              "Unauthorized\n401 Basic realm=\"ZYR Security\"");
    EXPECT_EQ(Curl("-u jdoe:secret " + Url("https", addRole)), "OK\n200 ");
}

class NegotiateAuthTest : public AuthTest {
protected:
    void SetUp() override
    {
        realm = zyr::test::TestRealm();
        if (realm.empty()) {
            GTEST_SKIP() << zyr::test::kNoTestRealm;
        }
        AuthTest::SetUp();
    }
    bool StartNegotiate(const std::string& auth, const std::string& keytab,
                        std::vector<std::string> more = {})
    {
        more.insert(more.begin(), {"--auth", auth, "--keytab", realm + "/" + keytab});
        return Start(more);
    }
    // The ticket is for HTTP/localhost: the URL names that host.
    std::string Url(const std::string& query)
    {
        return "'http://localhost:" + std::to_string(server.port()) + "/zyr/security?" + query + "'";
    }

    std::string realm;
};

TEST_F(NegotiateAuthTest, ATicketIsTheRealmsAccountAndBasicStaysBesideIt)
{
    ASSERT_TRUE(StartNegotiate("negotiate,basic", "http.keytab", {"--seed-admin", "PLANT\\alice"}));
    // The administrator is alice@PLANT.TEST; the reply proves the server to her.
    std::string added = Curl("--negotiate -u : " + Url(addRole));
    EXPECT_EQ(added.rfind("OK\n200 Negotiate ", 0), 0u) << added;
    const std::string challenge = "\n401 Negotiate"; // the first of the two
    const std::string both = Curl("-D - " + Url("Operation=GetServerVersion"));
    EXPECT_NE(both.find("WWW-Authenticate: Negotiate\r\nWWW-Authenticate: Basic realm="), std::string::npos)
        << both;
    ::setenv("KRB5CCNAME", ("FILE:" + (dir.path() / "no-ticket").string()).c_str(), 1);
    EXPECT_EQ(Curl("--negotiate -u : " + Url("Operation=GetServerVersion")), "Unauthorized" + challenge);
    zyr::test::TestRealm();
    EXPECT_EQ(Curl("-u ann:pw " + Url("Operation=GetServerVersion")), "2.3\n200 ");
    // Tokens that prove nothing count toward the limit of the address.
    const std::string forged = "-H 'Authorization: Negotiate YWJjZA==' " + Url("Operation=GetServerVersion");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Curl(forged), "Unauthorized" + challenge);
    }
    EXPECT_NE(Curl(forged).find("\n429 60"), std::string::npos);
}

TEST_F(NegotiateAuthTest, TheRealmsDomainIsAnOptionAndAStaleKeyIsRefused)
{
    ASSERT_TRUE(StartNegotiate("negotiate", "http.keytab", {"--realm-domain", "plant.test=WORKS"}));
    std::string refused = Curl("--negotiate -u : " + Url(addRole));
    EXPECT_EQ(refused.rfind("Error: WORKS\\alice may not change the security database\n200 Negotiate ", 0),
              0u)
        << refused;
    // Basic is not offered beside Negotiate alone.
    EXPECT_EQ(Curl("-u ann:pw " + Url("Operation=GetServerVersion")), "Unauthorized\n401 Negotiate");
    server.Stop();

    ASSERT_TRUE(StartNegotiate("negotiate", "stale.keytab"));
    EXPECT_EQ(Curl("--negotiate -u : " + Url("Operation=GetServerVersion")), "Unauthorized\n401 Negotiate");

    // Refused at start: no keytab, a keytab without keys, a keytab without
    // Negotiate, plain HTTP off loopback.
    const std::string db = (dir.path() / "k.db").string();
    EXPECT_FALSE(server.Start({"--db", db, "--auth", "negotiate"}));
    EXPECT_FALSE(server.Start({"--db", db, "--auth", "negotiate", "--keytab", db}));
    EXPECT_FALSE(server.Start({"--db", db, "--keytab", realm + "/http.keytab"}));
    EXPECT_FALSE(server.Start(
        {"--db", db, "--listen", "0.0.0.0:0", "--auth", "negotiate", "--keytab", realm + "/http.keytab"}));
}

// The peer's account comes from the socket: this account (the seed's
// administrator) changes; "nobody", run through runuser, only reads.
TEST_F(AuthTest, PeerOnTheUnixSocketNamesTheCallingAccount)
{
    if (::geteuid() != 0 || std::system("command -v runuser >/dev/null") != 0) {
        GTEST_SKIP() << "needs root and runuser to call as another account";
    }
    ::chmod(dir.path().c_str(), 0755);
    std::string socket = (dir.path() / "s.sock").string();
    ASSERT_TRUE(server.Start({"--db", (dir.path() / "peer.db").string(), "--seed", "demo", "--listen",
                              "unix:" + socket, "--auth", "peer"}));
    const std::string url = "--unix-socket " + socket + " 'http://localhost/zyr/security?";
    EXPECT_EQ(Curl(url + addRole + "'"), "OK\n200 ");
    const std::string asNobody = "runuser -u nobody -- ";
    std::string read = Curl(url + "Object=Role&Operation=Get'").substr(0, 5);
    EXPECT_EQ(read, "<?xml");
    std::string command = asNobody + "curl -s --unix-socket " + socket +
                          " 'http://localhost/zyr/security?Object=Role&Operation=Delete&CN=R1&DN=%7Br1%7D'";
    std::string refused;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512] = {};
        refused.assign(buffer, std::fread(buffer, 1, sizeof buffer - 1, pipe));
        ::pclose(pipe);
    }
    EXPECT_EQ(refused, "Error: " + ShortHostName() + "\\nobody may not change the security database");
}

} // namespace
} // namespace zyr::server::test
