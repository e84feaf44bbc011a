// Who may do what, decided by the server: the change right, the caller's
// own name in the records, and the lockout guard, on both backends.
#include "cache/TextCipher.h"
#include "server/service/ChangeRight.h"
#include "server/service/Seeder.h"
#include "tests/server/ServerFixture.h"

namespace zyr::server::test {
namespace {

class AdmissionTest : public BackendTest {
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        fixture = std::make_unique<ServerFixture>(GetParam());
        bool seeded = false;
        std::string reason;
        ASSERT_TRUE(SeedDemo(*fixture->store, "CORP\\jdoe", 0, seeded, reason)) << reason;
        std::vector<RoleRecord> roles;
        ASSERT_TRUE(fixture->store->ListRoles(roles));
        for (const RoleRecord& role : roles) {
            (role.name == "Security Administrators" ? adminRole : otherRole) = role.dn;
        }
    }
    std::string As(const std::string& account, const std::string& query, const std::string& body = {})
    {
        return fixture->router->Handle(body.empty() ? "GET" : "POST", "/zyr/security?" + query, body, account)
            .body;
    }
    std::string adminRole, otherRole;
    std::unique_ptr<ServerFixture> fixture;
};

TEST_P(AdmissionTest, ChangesNeedTheRightToOpenTheConsoleAndRecordsNameTheCaller)
{
    const std::string addRole =
        "Object=Role&Operation=Add&CN=Night%20Shift&DN=%7Bn1%7D&Desc=&MemberUser=&MemberGroup=";
    // A plain account reads, but may not change; nothing is written.
    EXPECT_NE(As("CORP\\ann", "Object=Role&Operation=Get").find("<KVTROLES>"), std::string::npos);
    // A read's User field is no claim to be that account: it narrows the audit trail.
    EXPECT_NE(As("CORP\\ann", "Object=Audit&Operation=Get&User=CORP%5Cjdoe").find("<KVTAUDIT>"),
              std::string::npos);
    EXPECT_EQ(As("CORP\\ann", addRole + "&User=CORP%5Cann"),
              "Error: CORP\\ann may not change the security database");
    EXPECT_EQ(As("CORP\\ann", "Object=Audit&Operation=Send", "Message=" + std::string(kActivationEvent)),
              "Error: CORP\\ann may not change the security database");
    // Naming another account is refused, not rewritten.
    EXPECT_EQ(As("CORP\\ann", "Object=Log&Operation=Add", "User=CORP%5Cjdoe&Action=Logon&Status=Success"),
              "Error: CORP\\ann may not act as another account");
    EXPECT_EQ(As("CORP\\jdoe", addRole + "&User=CORP%5Cann"),
              "Error: CORP\\jdoe may not act as another account");
    std::vector<AuditRecord> trail = fixture->AuditTrail();
    ASSERT_FALSE(trail.empty());
    EXPECT_EQ(trail.front().operation, "Seed");

    // The administrator changes; the trail carries the account's own spelling,
    // also for an event that named nobody.
    EXPECT_EQ(As("CORP\\jdoe", addRole + "&User=corp%5CJDOE&Computer=PC01"), "OK");
    EXPECT_EQ(As("CORP\\ann", "Object=Audit&Operation=Send", "Message=hello&Computer=PC02"), "OK");
    trail = fixture->AuditTrail();
    ASSERT_GE(trail.size(), 2u);
    EXPECT_EQ(trail[0].user, "CORP\\ann");
    EXPECT_EQ(trail[1].user, "CORP\\jdoe");
}

TEST_P(AdmissionTest, AnUnsecuredConsoleObjectLetsEveryAccountChange)
{
    std::vector<ApplicationRecord> applications;
    ASSERT_TRUE(fixture->store->ListApplications(applications));
    std::string acl;
    ASSERT_TRUE(FindConsoleAcl(applications, acl));
    EXPECT_EQ(acl, "Security Administrators:1;");
    for (auto& group : applications) {
        for (auto& g : group.groups) {
            for (auto& o : g.objects) {
                o.aclPlain.clear();
                o.aclEncrypted.clear();
            }
        }
    }
    std::vector<RoleRecord> roles;
    EXPECT_TRUE(MayOpenConsole("CORP\\ann", applications, roles));
    applications.clear();
    EXPECT_FALSE(MayOpenConsole("CORP\\jdoe", applications, roles)); // no console object: nobody
}

TEST_P(AdmissionTest, TheLockoutGuardRefusesChangesThatLeaveNobodyToOpenTheConsole)
{
    const std::string refusal(kLockoutRefusal);
    std::string emptyList = zyr::cipher::Encrypt("");
    // Emptying the administrators' role, deleting it, with or without authentication.
    EXPECT_EQ(As("CORP\\jdoe",
                 "Object=Role&Operation=Update&CN=Security%20Administrators&DN=" + adminRole +
                     "&Desc=&User=CORP%5Cjdoe",
                 "MemberUser=" + emptyList + "&MemberGroup=" + emptyList + "&OldValue=&NewValue="),
              refusal);
    EXPECT_EQ(As("CORP\\jdoe", "Object=Role&Operation=Delete&CN=x&DN=" + adminRole), refusal);
    EXPECT_EQ(As("", "Object=Role&Operation=Delete&CN=x&DN=" + adminRole + kTrailer), refusal);
    std::vector<RoleRecord> roles;
    ASSERT_TRUE(fixture->store->ListRoles(roles));
    bool kept = false;
    for (const RoleRecord& role : roles) {
        kept = kept || (role.dn == adminRole && !role.memberUsers.empty());
    }
    EXPECT_TRUE(kept);
    // The rights admission keeps follow every change: a member added to the
    // granting role may change at once.
    const std::string addRole =
        "Object=Role&Operation=Add&CN=Late&DN=%7Bl1%7D&Desc=&MemberUser=&MemberGroup=";
    EXPECT_EQ(As("CORP\\ann", addRole), "Error: CORP\\ann may not change the security database");
    EXPECT_EQ(As("CORP\\jdoe",
                 "Object=Role&Operation=Update&CN=Security%20Administrators&DN=" + adminRole + "&Desc=",
                 "MemberUser=" + zyr::cipher::Encrypt("CORP\\jdoe;CORP\\ann;") + "&MemberGroup=" + emptyList +
                     "&OldValue=&NewValue="),
              "OK");
    EXPECT_EQ(As("CORP\\ann", addRole), "OK");
    // Another role goes.
    ASSERT_FALSE(otherRole.empty());
    EXPECT_EQ(As("CORP\\jdoe", "Object=Role&Operation=Delete&CN=x&DN=" + otherRole), "OK");
}

TEST_P(AdmissionTest, TheGuardTakesTheClientsRuleAndCoversAnImportOverTheConsole)
{
    const std::string refusal(kLockoutRefusal);
    std::vector<ApplicationRecord> applications;
    ASSERT_TRUE(fixture->store->ListApplications(applications));
    std::string consoleDn;
    for (const auto& a : applications) {
        for (const auto& g : a.groups) {
            for (const auto& o : g.objects) {
                if (o.name == kConsoleObject) {
                    consoleDn = o.dn;
                }
            }
        }
    }
    ASSERT_FALSE(consoleDn.empty());
    // Emptying the granting list would leave the console open to everyone
    // and guarded by nobody: refused, as the clients refuse it.
    EXPECT_EQ(As("CORP\\jdoe", "Object=SecObj&Operation=Update&CN=ZyrSnap-In&DN=" + consoleDn,
                 "OldValue=&NewValue=&ACL=" + zyr::cipher::Encrypt("")),
              refusal);
    // The console's own application imported over the granted one.
    const std::string file =
        "<?xml version=\"1.0\"?><ZYR><ApplName>MORVEL framework</ApplName><ApplID>{C1}</ApplID>"
        "<Description></Description><KVTPerm></KVTPerm><GroupCount>0</GroupCount></ZYR>";
    HttpReply imported = fixture->router->Handle(
        "POST", "/zyr/security?Object=KVTAPI&Operation=ApplImp" + kTrailer, file, "CORP\\jdoe");
    EXPECT_EQ(imported.body, refusal);
    std::vector<ApplicationRecord> after;
    ASSERT_TRUE(fixture->store->ListApplications(after));
    EXPECT_EQ(after.size(), applications.size());
    std::string acl;
    ASSERT_TRUE(FindConsoleAcl(after, acl));
    EXPECT_EQ(acl, "Security Administrators:1;");
}

ZYR_ON_BOTH_BACKENDS(AdmissionTest);

} // namespace
} // namespace zyr::server::test
