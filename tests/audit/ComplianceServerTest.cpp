// Compliance and audit against the reference security server.
#include "audit/AuditEvents.h"
#include "audit/ComplianceFlag.h"
#include "audit/ComponentModules.h"
#include "platform/identity/Identity.h"
#include "tests/audit/AuditFixture.h"
#include "tests/support/ReferenceServer.h"
#include "web/SecurityPost.h"

#include <gtest/gtest.h>

namespace {

using zyr::test::ReferenceServer;

class ComplianceServerTest : public zyr::testing::AuditFixture {
protected:
    void SetUp() override
    {
        AuditFixture::SetUp();
        if (!ReferenceServer::Available()) {
            GTEST_SKIP() << "the reference server is not built";
        }
        ASSERT_TRUE(reference.Start({"--seed", "demo", "--enable-test-controls", "--log-level", "error"}));
        url = reference.RequestUrl();
        UseServer(url);
    }

    std::string TestControl(const std::string& body)
    {
        return PostSecurityRequest(url + "?Object=Test&Operation=Fault", body);
    }

    ReferenceServer reference;
    std::string url;
};

TEST_F(ComplianceServerTest, ActivationTurnsTheServersFlagOn)
{
    ASSERT_EQ(zyr::audit::RegisterComponentModule(ZYR_ALARM_EVENTS_MODULE), S_OK);

    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(Get21CFR11Flag(url.c_str(), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_FALSE(IsAuditNotFunctional());

    ASSERT_TRUE(CanCreateAuditComponents());
    zyr::SetCurrentUserName("BUILD-07\\operator");
    ASSERT_EQ(ActivateComplianceEvent(), S_OK);
    ASSERT_EQ(Get21CFR11Flag(url.c_str(), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(zyr::audit::ComplianceFlagText(), "true");

    // In compliance mode the probe decides.
    EXPECT_FALSE(IsAuditNotFunctional());
    ASSERT_EQ(TestControl("Kind=AuditNotFunctional&Computer=BUILD-07&Value=1"), "OK");
    EXPECT_TRUE(IsAuditNotFunctional());
    // The component's send now fails as the server refuses the event.
    EXPECT_TRUE(FAILED(ActivateComplianceEvent()));
}

TEST_F(ComplianceServerTest, AProbeAnsweredNotFunctionalStopsChangesOnceTheFlagIsOn)
{
    ASSERT_EQ(TestControl("Kind=AuditNotFunctional&Computer=BUILD-07&Value=1"), "OK");
    // The flag is off: nothing is refused whatever the probe would say.
    EXPECT_FALSE(IsAuditNotFunctional());
    // A server that cannot answer the flag request but knows its version refuses.
    ASSERT_EQ(TestControl("Kind=EmptyReply&Object=KVTAPI&Operation=Get21CFR11Flag&Value=1"), "OK");
    EXPECT_TRUE(IsAuditNotFunctional());
    EXPECT_FLOAT_EQ(zyr::audit::ServerVersion(), 2.3f);
}

} // namespace
