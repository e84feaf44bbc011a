#include "audit/ComplianceFlag.h"
#include "common/StringTable.h"
#include "tests/audit/AuditFixture.h"

#include <gtest/gtest.h>

namespace {

using zyr::testing::AuditFixture;

class ComplianceFlagTest : public AuditFixture {};

TEST_F(ComplianceFlagTest, OnlyAnExactTrueTurnsTheFlagOnAndIsThenRememberedWithoutAsking)
{
    replies[kFlagQuery] = "True";
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(Get21CFR11Flag(serverUrl.c_str(), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(zyr::audit::ComplianceFlagText(), "");

    replies[kFlagQuery] = "true";
    EXPECT_EQ(Get21CFR11Flag(serverUrl.c_str(), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(zyr::audit::ComplianceFlagText(), "true");

    replies[kFlagQuery] = "false";
    flag = VARIANT_FALSE;
    EXPECT_EQ(Get21CFR11Flag(serverUrl.c_str(), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    ASSERT_EQ(server.RequestCount(), 2u);
    for (const auto& request : server.Requests()) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.body.substr(0, 9), "Junk=Junk");
        EXPECT_FALSE(request.HasHeader("Authorization"));
    }
    EXPECT_EQ(Get21CFR11Flag(serverUrl.c_str(), nullptr), E_POINTER);
}

TEST_F(ComplianceFlagTest, EmptyFlagFromAServerThatKnowsItsVersionRefusesEveryChangeFromThenOn)
{
    replies[kVersionQuery] = "2.3";
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(Get21CFR11Flag(serverUrl.c_str(), &flag), E_FAIL);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_FLOAT_EQ(zyr::audit::ServerVersion(), 2.3f);

    EXPECT_TRUE(IsAuditNotFunctional());
    size_t sent = server.RequestCount();
    replies[kFlagQuery] = "false"; // the answer is not asked again
    EXPECT_TRUE(IsAuditNotFunctional());
    EXPECT_EQ(server.RequestCount(), sent);
    EXPECT_EQ(Queries().front(), kFlagQuery);
    EXPECT_EQ(Queries().at(1), kVersionQuery);
}

TEST_F(ComplianceFlagTest, AServerThatAnswersNeitherRequestIsPreComplianceAndNeverAskedAgain)
{
    EXPECT_FALSE(IsAuditNotFunctional());
    EXPECT_FLOAT_EQ(zyr::audit::ServerVersion(), 0.0f);
    EXPECT_EQ(Queries(), (std::vector<std::string>{kFlagQuery, kVersionQuery}));
    EXPECT_FALSE(IsAuditNotFunctional());
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(ComplianceFlagTest, WithTheFlagOnTheProbeIsSentAtEveryGuardUntilItReportsTheAuditPathDown)
{
    replies[kFlagQuery] = "true";
    replies["?Computer=BUILD-07"] = "OK";
    EXPECT_FALSE(IsAuditNotFunctional());
    EXPECT_FALSE(IsAuditNotFunctional());
    // The flag is asked once, the probe at every guard, the computer name as it is.
    EXPECT_EQ(Queries(), (std::vector<std::string>{kFlagQuery, "?Computer=BUILD-07", "?Computer=BUILD-07"}));

    replies["?Computer=BUILD-07"] = "TAVOS_Not_Functional ";
    EXPECT_FALSE(IsAuditNotFunctional()); // not the exact text
    replies["?Computer=BUILD-07"] = "TAVOS_Not_Functional";
    EXPECT_TRUE(IsAuditNotFunctional());
    size_t sent = server.RequestCount();
    replies["?Computer=BUILD-07"] = "OK";
    EXPECT_TRUE(IsAuditNotFunctional());
    EXPECT_EQ(server.RequestCount(), sent);
}

TEST_F(ComplianceFlagTest, AComputerWithoutANameIsProbedAsUnknown)
{
    host.clear();
    replies[kFlagQuery] = "true";
    replies["?Computer=Unknown"] = "TAVOS_Not_Functional";
    EXPECT_TRUE(IsAuditNotFunctional());
    EXPECT_EQ(Queries().back(), "?Computer=Unknown");
}

TEST_F(ComplianceFlagTest, FlagOffAllowsChangesWithoutAProbe)
{
    replies[kFlagQuery] = "false";
    EXPECT_FALSE(IsAuditNotFunctional());
    EXPECT_EQ(Queries(), (std::vector<std::string>{kFlagQuery}));
}

TEST_F(ComplianceFlagTest, NoServerUrlRefusesChanges)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, zyr::testing::kFrameworkKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    RegDeleteValueA(key, "URL");
    RegCloseKey(key);
    zyr::ResetServerSettings();
    EXPECT_TRUE(IsAuditNotFunctional());
    EXPECT_EQ(server.RequestCount(), 0u);
    // The refusal names the missing URL, not the audit components.
    EXPECT_NE(zyr::audit::AuditRefusalText().find("server URL is not configured"), std::string::npos);
    zyr::audit::ResetComplianceState();
    EXPECT_EQ(zyr::audit::AuditRefusalText(), zyr::LoadStringAnsi(zyr::IDS_AUDIT_COMPONENTS_MISSING));
}

} // namespace
