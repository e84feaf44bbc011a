// zyrsec signs in with the operator's Kerberos ticket against a server that
// takes Negotiate (the test realm of scripts/test-kdc, ZYR_TEST_KRB5). The
// operator is the directory account PLANT\alice, as winbind names it: the
// name service is nss_wrapper's, with this process's uid given that name.
#include "tests/support/PreloadWrappers.h"
#include "tests/support/TestRealm.h"
#include "tests/tools/zyrsec/ZyrsecFixture.h"

namespace {

using zyr::test::ShellQuote;
using zyr::testing::ToolRun;

class ZyrsecKerberosTest : public zyr::testing::ZyrsecFixture {
protected:
    void SetUp() override
    {
        realm_ = zyr::test::TestRealm();
        if (realm_.empty()) {
            GTEST_SKIP() << zyr::test::kNoTestRealm;
        }
        const zyr::test::WrapperPath wrapper = zyr::test::NssWrapperLibrary();
        if (wrapper.path.empty()) {
            ASSERT_FALSE(wrapper.installed) << wrapper.problem;
            GTEST_SKIP() << wrapper.problem;
        }
        ZyrsecFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // The ticket is for HTTP/localhost: the URL names that host.
        url_.replace(url_.find("127.0.0.1"), 9, "localhost");
        SetMachineText("URL", url_);
        std::ofstream(dir_ / "passwd")
            << "PLANT\\alice:x:" << ::geteuid() << ":" << ::getegid() << ":Alice:/nonexistent:/bin/false\n";
        std::ofstream(dir_ / "group") << "operators:x:" << ::getegid() << ":\n";
        environment_ = "LD_PRELOAD=" + ShellQuote(wrapper.path) +
                       " NSS_WRAPPER_PASSWD=" + ShellQuote((dir_ / "passwd").string()) +
                       " NSS_WRAPPER_GROUP=" + ShellQuote((dir_ / "group").string()) +
                       // The sanitizers' runtime cannot load the C library with
                       // RTLD_DEEPBIND, as the wrapper otherwise does.
                       " NSS_WRAPPER_DISABLE_DEEPBIND=1" +
                       " ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0";
    }

    std::vector<std::string> ServerArguments() override
    {
        return {"--seed", "demo",      "--seed-admin", "PLANT\\alice",
                "--auth", "negotiate", "--keytab",     realm_ + "/http.keytab"};
    }

    std::string realm_;
};

TEST_F(ZyrsecKerberosTest, TheTicketSignsInWithoutAPasswordAndTheTrailNamesTheRealmsAccount)
{
    ToolRun added = Zyrsec({"role", "add", "Night Shift"});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(NewestAudit().get<std::string>("user"), "PLANT\\alice");
    ToolRun doctor = Zyrsec({"doctor"});
    EXPECT_NE(doctor.out.find("Kerberos ticket is accepted (Negotiate)"), std::string::npos) << doctor.out;

    // Without a ticket the server's refusal is told, and no password is asked for.
    environment_ += " KRB5CCNAME=FILE:" + ShellQuote((dir_ / "no-ticket").string());
    ToolRun refused = Zyrsec({"tree"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("needs a password"), std::string::npos) << refused.err;
    doctor = Zyrsec({"doctor"});
    EXPECT_NE(doctor.out.find("(HTTP authentication: Negotiate); this account holds no Kerberos ticket"),
              std::string::npos)
        << doctor.out;
}

} // namespace
