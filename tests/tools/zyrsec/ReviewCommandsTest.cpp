// Access reviews against the demo database: an account's effective access,
// who holds a permission, and the review report written to a file.
#include "platform/identity/Identity.h"
#include "tests/tools/zyrsec/ZyrsecFixture.h"

#include <sys/stat.h>

namespace {

using zyr::test::FileContent;
using zyr::testing::ToolRun;
using zyr::testing::Tree;

class ReviewCommandsTest : public zyr::testing::ZyrsecFixture {};

using zyr::testing::Contains;

// The permission names and granting roles of one place of an access answer.
std::string Grants(const Tree& access, const std::string& object)
{
    for (const auto& [key, place] : access) {
        if (place.get<std::string>("object", "") != object) {
            continue;
        }
        std::string text;
        for (const auto& [k, permission] : place.get_child("permissions")) {
            text += permission.get<std::string>("name") + ":";
            for (const auto& [r, role] : permission.get_child("roles")) {
                text += role.data() + ",";
            }
            text += " ";
        }
        return text;
    }
    return "(none)";
}

TEST_F(ReviewCommandsTest, AccessAndWhoCanShowTheStoredGrants)
{
    const std::string alice = zyr::identity::ShortHostName() + "\\alice";
    ToolRun access = Zyrsec({"--json", "access", alice});
    ASSERT_EQ(access.status, 0) << access.err;
    Tree json = access.Json();
    std::string roles;
    for (const auto& [key, role] : json.get_child("roles")) {
        roles += role.get<std::string>("role") + " (" + role.get<std::string>("through") + ") ";
    }
    EXPECT_EQ(roles, "Operators (user " + alice + ") Maintenance (Everyone) ");
    // Operators:13 and Maintenance:1 on the mixer; the application's and the
    // group's grants are not carried down to it.
    EXPECT_EQ(Grants(json.get_child("access"), "Mixer M-101"),
              "Read:Operators,Maintenance, Execute:Operators, Start Batch:Operators, ");
    EXPECT_EQ(Grants(json.get_child("access"), "Archive Purge"), "(none)");

    ToolRun scoped = Zyrsec({"access", alice, "--app", "plant historian"});
    ASSERT_EQ(scoped.status, 0) << scoped.err;
    EXPECT_TRUE(Contains(scoped.out, "Plant Historian / Trend Displays / Area 100 Trends")) << scoped.out;
    EXPECT_FALSE(Contains(scoped.out, "Batch Control")) << scoped.out;
    EXPECT_TRUE(Contains(scoped.out, "not passed down")) << scoped.out;
    EXPECT_EQ(Zyrsec({"access", "bad\x01name"}).status, 1);
    EXPECT_EQ(Zyrsec({"access", alice, "--app", "No Such"}).status, 1);

    ToolRun purge = Zyrsec({"--json", "who-can", "purge archive", "--app", "Plant Historian", "--group",
                            "Archive", "--object", "Archive Purge"});
    ASSERT_EQ(purge.status, 0) << purge.err;
    Tree holders = purge.Json().get_child("holders");
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders.begin()->second.get<std::string>("role"), "Supervisors");
    EXPECT_EQ(holders.begin()->second.get<std::string>("users.."), zyr::identity::ShortHostName() + "\\dave");
    ToolRun none = Zyrsec({"who-can", "Purge Archive", "--app", "Plant Historian"});
    ASSERT_EQ(none.status, 0) << none.err;
    EXPECT_TRUE(Contains(none.out, "No role holds 'Purge Archive' on the application 'Plant Historian'."));
    EXPECT_EQ(Zyrsec({"who-can", "Read"}).status, 1);
    EXPECT_EQ(Zyrsec({"who-can", "Read", "--app", "Plant Historian", "--object", "X"}).status, 1);
    EXPECT_EQ(Zyrsec({"who-can", "Nope", "--app", "Plant Historian"}).status, 1);
}

TEST_F(ReviewCommandsTest, TheReportIsOneOwnerOnlyPage)
{
    const std::string path = (dir_ / "review.html").string();
    std::ofstream(path) << "old";
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ToolRun report = Zyrsec({"--json", "report", "access", "--output", path, "--days", "7"});
    ASSERT_EQ(report.status, 0) << report.err << report.out;
    EXPECT_EQ(report.Json().get<std::string>("audit_complete"), "true");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::string html = FileContent(path);
    EXPECT_TRUE(Contains(html, "<h3>Security Administrators</h3>"));
    EXPECT_TRUE(Contains(html, "Morvel Framework / Security Manager / ZyrSnap-In"));
    EXPECT_TRUE(Contains(html, "<td>Seed</td>")) << "the seed's audit record of today";
    EXPECT_FALSE(Contains(html, "http://www")) << "nothing is fetched from outside";

    const std::string csvPath = (dir_ / "review.csv").string();
    ASSERT_EQ(Zyrsec({"report", "access", "--output", csvPath, "--csv"}).status, 0);
    EXPECT_TRUE(Contains(FileContent(csvPath), "console,Security Administrators,"));
    EXPECT_EQ(Zyrsec({"report", "access", "--output", path, "--days", "0"}).status, 1);
    EXPECT_EQ(Zyrsec({"report", "access"}).status, 1);
    EXPECT_EQ(Zyrsec({"report", "access", "--output", (dir_ / "none" / "r.html").string()}).status, 1);
}

} // namespace
