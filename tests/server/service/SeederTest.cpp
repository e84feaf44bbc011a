// Seeds fill an empty database once, with what they promise.
#include "tests/server/ServerFixture.h"

#include "cache/TextCipher.h"
#include "server/service/Seeder.h"

#include <gtest/gtest.h>

namespace zyr::server::test {
namespace {

class SeederTest : public BackendTest {};

TEST_P(SeederTest, DemoGrantsTheConsoleToItsAdministratorOnce)
{
    ServerFixture f{GetParam()};
    bool seeded = false;
    std::string reason;
    ASSERT_TRUE(SeedDemo(*f.store, "CORP\\admin", std::time(nullptr), seeded, reason)) << reason;
    EXPECT_TRUE(seeded);
    std::vector<ApplicationRecord> apps;
    ASSERT_TRUE(f.store->ListApplications(apps));
    ASSERT_GE(apps.size(), 3u);
    EXPECT_EQ(apps[0].name, "Morvel Framework");
    ASSERT_EQ(apps[0].groups.at(0).name, "Security Manager");
    const ObjectRecord& console = apps[0].groups[0].objects.at(0);
    EXPECT_EQ(console.name, "ZyrSnap-In");
    std::string acl;
    ASSERT_TRUE(zyr::cipher::Decrypt(console.aclEncrypted, acl));
    EXPECT_EQ(acl, "Security Administrators:1;");
    // The console's application alone, by its name in any case: what the
    // server's admission reads instead of every application.
    std::vector<ApplicationRecord> named;
    ASSERT_TRUE(f.store->ListApplicationNamed("MORVEL framework", named));
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0].dn, apps[0].dn);
    ASSERT_EQ(named[0].groups.size(), apps[0].groups.size());
    EXPECT_EQ(named[0].groups[0].objects.size(), apps[0].groups[0].objects.size());
    EXPECT_EQ(named[0].groups[0].objects.at(0).aclEncrypted, console.aclEncrypted);
    ASSERT_TRUE(f.store->ListApplicationNamed("No Such Application", named));
    EXPECT_TRUE(named.empty());
    std::vector<RoleRecord> roles;
    ASSERT_TRUE(f.store->ListRoles(roles));
    ASSERT_FALSE(roles.empty());
    EXPECT_EQ(roles[0].name, "Security Administrators");
    EXPECT_EQ(roles[0].memberUsers, std::vector<std::string>{"CORP\\admin"});
    std::vector<LogEntry> page;
    ASSERT_TRUE(f.store->GetLogPage({}, 0, page));
    EXPECT_EQ(page.size(), 50u);

    ASSERT_TRUE(SeedDemo(*f.store, "CORP\\other", std::time(nullptr), seeded, reason));
    EXPECT_FALSE(seeded);
    ASSERT_TRUE(f.store->ListRoles(roles));
    EXPECT_EQ(roles[0].memberUsers, std::vector<std::string>{"CORP\\admin"});
}

TEST_P(SeederTest, LargeBuildsTheCountsAsked)
{
    LargeSeed size;
    ASSERT_TRUE(ParseLargeSeed("large:2,3,4,5,6,120,60", size));
    EXPECT_EQ(size.objectsPerGroup, 4);
    for (const char* bad : {"large:1,2,3", "large:1,2,3,4,5,6,7,8", "large:1,2,3,4,5,6,", "large:a,2,3,4,5,6",
                            "large:1,,3,4,5,6", "big:1,2,3,4,5,6", "large:-1,2,3,4,5,6"}) {
        LargeSeed ignored;
        EXPECT_FALSE(ParseLargeSeed(bad, ignored)) << bad;
    }
    ServerFixture f{GetParam()};
    bool seeded = false;
    std::string reason;
    ASSERT_TRUE(SeedLarge(*f.store, size, std::time(nullptr), seeded, reason)) << reason;
    ASSERT_TRUE(seeded);
    std::vector<ApplicationRecord> apps;
    ASSERT_TRUE(f.store->ListApplications(apps));
    ASSERT_EQ(apps.size(), 2u);
    ASSERT_EQ(apps[1].groups.size(), 3u);
    EXPECT_EQ(apps[1].groups[2].objects.size(), 4u);
    std::vector<RoleRecord> roles;
    ASSERT_TRUE(f.store->ListRoles(roles));
    ASSERT_EQ(roles.size(), 5u);
    EXPECT_EQ(roles[4].memberUsers.size() + roles[4].memberGroups.size(), 6u);
    std::vector<LogEntry> page;
    ASSERT_TRUE(f.store->GetLogPage({}, 2, page));
    EXPECT_EQ(page.size(), 20u);
    std::vector<AuditRecord> trail;
    ASSERT_TRUE(f.store->GetAuditPage(1, trail));
    EXPECT_EQ(trail.size(), 11u); // the generated records and the seed's own
}

ZYR_ON_BOTH_BACKENDS(SeederTest);

} // namespace
} // namespace zyr::server::test
