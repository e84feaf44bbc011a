// The role fetch: how the reply is walked, what the cache file gets, and the
// requests of one role against scripted replies and the reference server.
#include "roles/RoleList.h"

#include "tests/roles/RecordsFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using zyr::test::ScriptedReply;

namespace zyr::testing {
namespace {

class RoleTest : public RecordsFixture {
protected:
    std::string RoleElement(int children, const std::string& name, const std::string& groups = "",
                            const std::string& users = "")
    {
        std::string texts[] = {"{dn-" + name + "}", name, "about " + name, Enc(groups), Enc(users), "x"};
        std::string out = "<ROLE>";
        for (int i = 0; i < children; ++i) {
            out += "<F" + std::to_string(i) + ">" + texts[i] + "</F" + std::to_string(i) + ">";
        }
        return out + "</ROLE>";
    }
};

TEST_F(RoleTest, FetchSkipsMalformedRolesAndNeverReadsTheTrailingElement)
{
    UseScripted();
    const std::string reply = Document("<KVTROLES>" + RoleElement(5, "Alpha", "PLANT\\g1;;PLANT\\g2;", ";;") +
                                       RoleElement(4, "Four") + RoleElement(6, "Six") +
                                       RoleElement(5, "Beta", "", ";PLANT\\u1;PLANT\\U1;PLANT\\u1;") +
                                       RoleElement(5, "Trailing") + "</KVTROLES>");
    scripted.Enqueue({.body = reply});
    CKVTRoleList list;
    list.GetRoles();
    std::string cached;
    ASSERT_EQ(zyr::cache::ReadCacheFile((cacheDir / "rolecache.xml").string(), cached), S_OK);
    EXPECT_EQ(cached, reply);

    ASSERT_EQ(list.Roles().size(), 2u);
    const CKVTRole& alpha = *list.Roles()[0];
    EXPECT_EQ(alpha.DN.str(), "{dn-Alpha}");
    EXPECT_EQ(alpha.CN.str(), "Alpha");
    EXPECT_EQ(alpha.Description.str(), "about Alpha");
    EXPECT_THAT(MemberNames(alpha.MemberGroups()), ElementsAre("PLANT\\g1", "PLANT\\g2"));
    EXPECT_TRUE(alpha.MemberUsers().empty()); // only semicolons
    // The server's duplicates stay, in its order.
    const CKVTRole& beta = *list.Roles()[1];
    EXPECT_THAT(MemberNames(beta.MemberUsers()), ElementsAre("PLANT\\u1", "PLANT\\U1", "PLANT\\u1"));
    EXPECT_EQ(scripted.Requests().at(0).target, Target("?Object=Role&Operation=Get"));
    EXPECT_EQ(zyr::records::CurrentRoleList(), &list);
}

TEST_F(RoleTest, TextsLongerThanTheirFieldsAreCutAndTraced)
{
    TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "EventLogging", 1);
    UseScripted();
    const std::string longName(300, 'n');
    scripted.Enqueue({.body = Document("<KVTROLES>" + RoleElement(5, longName, std::string(270, 'g') + ";") +
                                       "<END/></KVTROLES>")});
    CKVTRoleList list;
    list.GetRoles();
    ASSERT_EQ(list.Roles().size(), 1u);
    EXPECT_EQ(list.Roles()[0]->CN.str(), longName.substr(0, 255));
    EXPECT_EQ(list.Roles()[0]->MemberGroups().at(0)->Name.size(), 255u);
    EXPECT_TRUE(Traced("longer than its field"));
}

TEST_F(RoleTest, RolesAreReadEvenWhenTheCacheFileCannotBeWritten)
{
    TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "EventLogging", 1);
    UseScripted();
    std::filesystem::create_directories(cacheDir / "rolecache.xml"); // a folder in the file's place
    scripted.Enqueue({.body = Document("<KVTROLES>" + RoleElement(5, "Alpha") + "<END/></KVTROLES>")});
    CKVTRoleList list;
    list.GetRoles();
    ASSERT_EQ(list.Roles().size(), 1u);
    EXPECT_EQ(list.Roles()[0]->CN.str(), "Alpha");
    EXPECT_TRUE(Traced("Write operation failed"));
}

TEST_F(RoleTest, FailedFetchesLeaveTheListEmptyAndSaySo)
{
    using zyr::records::FetchResult;
    UseScripted();
    scripted.Enqueue({.body = "Error: the roles cannot be read"});
    scripted.Enqueue({.status = 500});
    scripted.Enqueue({.body = "<DOCUMENT><KVTROLES><A></DOCUMENT>"});
    scripted.Enqueue({.body = Document("<OTHER/>")});
    scripted.Enqueue({.body = ""});
    const FetchResult expected[] = {FetchResult::NotRead, FetchResult::NotRead, FetchResult::NotAList,
                                    FetchResult::NotAList, FetchResult::NotAList};
    for (FetchResult want : expected) {
        CKVTRoleList list;
        EXPECT_EQ(list.GetRoles(), want);
        EXPECT_TRUE(list.Roles().empty());
    }
    // A reply that is not a role list never replaces the cache file.
    EXPECT_FALSE(std::filesystem::exists(cacheDir / "rolecache.xml"));
    scripted.Enqueue({.body = Document("<KVTROLES><END/></KVTROLES>")});
    CKVTRoleList empty;
    EXPECT_EQ(empty.GetRoles(), FetchResult::Fetched);
}

TEST_F(RoleTest, MembersAddedInTheConsoleAreUniqueWithoutRegardToCase)
{
    UseScripted();
    CKVTRole role("Operators", "");
    role.AppendServerMemberUser("PLANT\\Alice");
    EXPECT_TRUE(role.AddMemberUser("plant\\ALICE"));
    EXPECT_TRUE(role.AddMemberUser("PLANT\\Bob"));
    EXPECT_TRUE(role.AddMemberGroup("Everyone"));
    EXPECT_TRUE(role.AddMemberGroup("EVERYONE"));
    EXPECT_THAT(MemberNames(role.MemberUsers()), ElementsAre("PLANT\\Alice", "PLANT\\Bob"));
    EXPECT_THAT(MemberNames(role.MemberGroups()), ElementsAre("Everyone"));
    role.ClearMemberUsers();
    EXPECT_TRUE(role.AddMemberUser("plant\\alice"));
    EXPECT_THAT(MemberNames(role.MemberUsers()), ElementsAre("plant\\alice"));
}

TEST_F(RoleTest, AddSendsEmptyMemberKeysAndANewLowerCaseIdentity)
{
    UseScripted();
    scripted.Enqueue({.body = "OK"});
    CKVTRole role("Plant Ops", "Night shift");
    role.AddMemberUser("PLANT\\alice");
    EXPECT_EQ(role.DN.str(), "Plant Ops");
    ASSERT_TRUE(role.Add());
    EXPECT_TRUE(
        std::regex_match(role.DN.str(), std::regex("\\{[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\}")));
    EXPECT_EQ(
        scripted.Requests().at(0).target,
        Target("?Object=Role&Operation=Add&CN=Plant%20Ops&DN=" + role.DN.str() +
               "&Desc=Night%20shift&MemeberUser=&MemberGroup=&User=PLANT%5Cop%20one&Computer=BUILD-07"));
}

TEST_F(RoleTest, RefusedAddKeepsTheNewIdentityAndAuditFailureIsShown)
{
    UseScripted();
    scripted.Enqueue({.body = "Error: a role of that name exists"});
    scripted.Enqueue({.body = "TAVOS_Send_Failed"});
    CKVTRole role("Operators", "");
    EXPECT_FALSE(role.Add());
    EXPECT_EQ(role.DN.size(), 38u);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(role.Add());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, zyr::LoadStringAnsi(zyr::IDS_AUDIT_SEND_FAILED));
    EXPECT_EQ(ui.boxes[0].caption, "ZYR Security Manager");
}

TEST_F(RoleTest, UpdatePostsTheEncryptedMemberListsAndTheAuditText)
{
    UseScripted();
    scripted.Enqueue({.body = "OK"});
    scripted.Enqueue({.body = ""});
    CKVTRole role("Operators", "Control room");
    role.DN = "{r1}";
    role.AddMemberUser("PLANT\\alice");
    role.AddMemberUser("PLANT\\bob");
    role.AddMemberGroup("Everyone");
    role.AuditText = "OldValue=a&NewValue=b";
    ASSERT_TRUE(role.Update());
    const auto request = scripted.Requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, Target("?Object=Role&Operation=Update&CN=Operators&DN={r1}&Desc=Control%20room"
                                     "&User=PLANT%5Cop%20one&Computer=BUILD-07"));
    std::string body = request.body.substr(0, request.body.find('\0'));
    EXPECT_EQ(body, "MemberUser=" + Enc("PLANT\\alice;PLANT\\bob;") + "&MemberGroup=" + Enc("Everyone;") +
                        "&OldValue=a&NewValue=b");

    CKVTRole empty("Empty", "");
    ASSERT_TRUE(empty.Update());
    std::string second = scripted.Requests().at(1).body;
    EXPECT_EQ(second.substr(0, second.find('\0')), "MemberUser=&MemberGroup=&");
}

TEST_F(RoleTest, UpdateFailuresAreShownInTheErrorBox)
{
    UseScripted();
    scripted.Enqueue({.body = "An error and an Error"});
    scripted.Enqueue({.status = 500, .body = "broken"});
    scripted.Enqueue({.body = "TAVOS_Send_Failed"});
    CKVTRole role("Operators", "");
    EXPECT_FALSE(role.Update());
    ASSERT_EQ(ui.boxes.size(), 1u); // a role shows its first failure only
    EXPECT_EQ(ui.boxes[0].text, "An error and an Error");
    EXPECT_EQ(ui.boxes[0].caption, "Error");

    EXPECT_FALSE(role.Update()); // a failure status is no success
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].caption, "Error");
    EXPECT_THAT(ui.boxes[1].text, HasSubstr("500"));

    EXPECT_FALSE(role.Update());
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[2].text, zyr::LoadStringAnsi(zyr::IDS_AUDIT_SEND_FAILED));
}

TEST_F(RoleTest, DeleteNamesTheOperatorBeforeTheRoleAndFailsWhenRefused)
{
    UseScripted();
    scripted.Enqueue({.body = "OK"});
    scripted.Enqueue({.body = "Error: the role does not exist"});
    CKVTRole role("Plant Ops", "");
    role.DN = "{r1}";
    EXPECT_TRUE(role.Delete());
    EXPECT_EQ(
        scripted.Requests().at(0).target,
        Target(
            "?Object=Role&Operation=Delete&DN={r1}&User=PLANT%5Cop%20one&Computer=BUILD-07&CN=Plant%20Ops"));
    EXPECT_FALSE(role.Delete());
}

TEST_F(RoleTest, RoundTripAgainstTheReferenceServer)
{
    ZYR_USE_REFERENCE_SERVER();
    {
        CKVTRoleList list;
        list.GetRoles();
        ASSERT_EQ(list.Roles().size(), 5u);
        CKVTRole* maintenance = list.FindByName("maintenance");
        ASSERT_NE(maintenance, nullptr);
        EXPECT_THAT(MemberNames(maintenance->MemberGroups()), ElementsAre("Everyone"));

        auto role = std::make_unique<CKVTRole>("Plant Ops", "Night shift");
        ASSERT_TRUE(role->Add());
        role->AddMemberUser("PLANT\\alice");
        role->AddMemberGroup("PLANT\\night");
        role->AuditText = "OldValue=" + Enc("<x/>") + "&NewValue=" + Enc("<y/>");
        ASSERT_TRUE(role->Update());
        list.Append(std::move(role));
    }
    CKVTRoleList again;
    again.GetRoles();
    ASSERT_EQ(again.Roles().size(), 6u);
    CKVTRole* ops = again.FindByName("Plant Ops");
    ASSERT_NE(ops, nullptr);
    EXPECT_EQ(ops->Description.str(), "Night shift");
    EXPECT_THAT(MemberNames(ops->MemberUsers()), ElementsAre("PLANT\\alice"));
    EXPECT_THAT(MemberNames(ops->MemberGroups()), ElementsAre("PLANT\\night"));
    EXPECT_TRUE(ops->Delete());
    CKVTRole gone;
    gone.DN = "{00000000-0000-0000-0000-000000000000}";
    gone.CN = "Nobody";
    EXPECT_FALSE(gone.Delete());
}

TEST_F(RoleTest, ADestroyedListIsNoLongerCurrent)
{
    UseScripted();
    auto first = std::make_unique<CKVTRoleList>();
    {
        CKVTRoleList second;
        EXPECT_EQ(zyr::records::CurrentRoleList(), &second);
    }
    EXPECT_EQ(zyr::records::CurrentRoleList(), nullptr);
}

} // namespace
} // namespace zyr::testing
