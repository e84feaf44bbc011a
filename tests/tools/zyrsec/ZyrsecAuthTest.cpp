// zyrsec against a server that knows who is asking: HTTP Basic checked by
// PAM (pam_matrix under the server's and the sign-in's services), and HTTPS
// trusting a private certificate authority.
#include "platform/identity/Identity.h"
#include "tests/support/PreloadWrappers.h"
#include "tests/tools/zyrsec/ZyrsecFixture.h"

namespace zyr::testing {
namespace {

using zyr::testing::Contains;

class ZyrsecAuthTest : public ZyrsecFixture {
protected:
    void SetUp() override
    {
        ZyrsecFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        const zyr::test::WrapperPath matrix = zyr::test::PamMatrixModule();
        if (matrix.path.empty()) {
            ASSERT_FALSE(matrix.installed) << matrix.problem;
            GTEST_SKIP() << matrix.problem;
        }
        const fs::path pamDir = dir_ / "pam.d";
        fs::create_directories(pamDir);
        // One password file a service: pam_matrix reads an account's first line only.
        for (const std::string service : {"zyr-security-server", "zyr-security"}) {
            const std::string passdb = (dir_ / (service + ".passdb")).string();
            std::ofstream(passdb) << "jdoe:secret:" << service << "\nann:pw:" << service << "\n";
            std::ofstream(pamDir / service)
                << "auth required " << matrix.path << " passdb=" << passdb << "\naccount required "
                << matrix.path << " passdb=" << passdb << "\n";
        }
        ::setenv("ZYR_PAM_CONFDIR", pamDir.c_str(), 1);
        host_ = zyr::identity::ShortHostName();
    }
    void TearDown() override
    {
        ::unsetenv("ZYR_PAM_CONFDIR");
        secure_.Stop();
        ZyrsecFixture::TearDown();
    }
    std::string SecureUrl(const char* scheme) const
    {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(secure_.Port()) + "/zyr/security";
    }

    zyr::test::ReferenceServer secure_;
    std::string host_;
};

TEST_F(ZyrsecAuthTest, BasicLetsTheAdministratorChangeAndRefusesOthersAndForgedNames)
{
    ASSERT_TRUE(secure_.Start({"--seed", "demo", "--seed-admin", host_ + "\\jdoe", "--auth", "basic"}));
    const std::string url = SecureUrl("http");
    ToolRun added = Zyrsec(
        {"--server", url, "--domain", host_, "--user", "jdoe", "role", "add", "Night Shift"}, "secret\n");
    EXPECT_EQ(added.status, 0) << added.err;
    // The trail names the account that authenticated.
    ToolRun trail =
        Zyrsec({"--server", url, "--domain", host_, "--user", "jdoe", "--json", "audit"}, "secret\n");
    ASSERT_EQ(trail.status, 0) << trail.err;
    EXPECT_EQ(trail.Json().get_child("records").begin()->second.get<std::string>("user"), host_ + "\\jdoe");

    // A plain account reads; zyrsec refuses its changes at the sign-in, and
    // the server refuses them to any other client.
    ToolRun reads = Zyrsec({"--server", url, "--domain", host_, "--user", "ann", "--json", "roles"}, "pw\n");
    EXPECT_EQ(reads.status, 0) << reads.err;
    EXPECT_TRUE(Contains(reads.out, "Night Shift")) << reads.out;
    ToolRun plain =
        Zyrsec({"--server", url, "--domain", host_, "--user", "ann", "role", "add", "Day Shift"}, "pw\n");
    EXPECT_EQ(plain.status, 1);
    const std::string trailer = "&User=" + host_ + "%5Cann&Computer=PC01";
    EXPECT_EQ(PostSecurityRequest(url + "?Object=Role&Operation=Add&CN=Day&DN=%7Bd1%7D&Desc=" + trailer, "",
                                  "ann", "pw"),
              "Error: " + host_ + "\\ann may not change the security database");
    // The administrator's password with another account's name.
    EXPECT_EQ(PostSecurityRequest(url + "?Object=Role&Operation=Add&CN=Day&DN=%7Bd1%7D&Desc=" + trailer, "",
                                  "jdoe", "secret"),
              "Error: " + host_ + "\\jdoe may not act as another account");
    ToolRun after =
        Zyrsec({"--server", url, "--domain", host_, "--user", "jdoe", "--json", "roles"}, "secret\n");
    EXPECT_FALSE(Contains(after.out, "Day")) << after.out;
}

TEST_F(ZyrsecAuthTest, HttpsTrustsAPrivateAuthorityOnlyWhenNamed)
{
    const std::string d = dir_.string();
    const std::string make =
        "cd '" + d +
        "' && openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=Plant-CA -keyout ca.key -out ca.pem"
        " && openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout server.key -out server.csr"
        " && printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > san.cnf"
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1"
        " -extfile san.cnf -out server.pem";
    if (std::system((make + " >/dev/null 2>&1").c_str()) != 0) {
        GTEST_SKIP() << "openssl cannot make the test certificates";
    }
    ASSERT_TRUE(
        secure_.Start({"--seed", "demo", "--tls-cert", d + "/server.pem", "--tls-key", d + "/server.key"}));
    const std::string url = SecureUrl("https");
    // Certificate checks stay on: an authority nobody named is not trusted.
    ToolRun untrusted = Zyrsec({"--server", url, "apps"});
    EXPECT_EQ(untrusted.status, 1) << untrusted.out;
    ToolRun named = Zyrsec({"--server", url, "--cacert", d + "/ca.pem", "--json", "apps"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(Contains(named.out, "Morvel Framework")) << named.out;
    SetMachineText("CAFile", d + "/ca.pem");
    ToolRun configured = Zyrsec({"--server", url, "role", "add", "Night Shift"});
    EXPECT_EQ(configured.status, 0) << configured.err;
}

} // namespace
} // namespace zyr::testing
