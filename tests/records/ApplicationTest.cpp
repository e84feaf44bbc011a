// The application list: how the reply is walked into applications, groups
// and objects, and the exact requests of their changes.
#include "records/Application.h"

#include "records/AclEditing.h"
#include "tests/roles/RecordsFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace zyr::testing {
namespace {

std::vector<std::string> Acl(const std::vector<AccessEntry>& acl)
{
    std::vector<std::string> out;
    for (const auto& e : acl) {
        out.push_back(e.RoleName.str() + "=" + std::to_string(e.Mask));
    }
    return out;
}

class ApplicationTest : public RecordsFixture {
protected:
    void TearDown() override
    {
        zyr::records::ResetCurrentApplList();
        RecordsFixture::TearDown();
    }
    std::string Body(size_t i) const
    {
        std::string body = scripted.Requests().at(i).body;
        return body.substr(0, body.find('\0'));
    }
};

TEST_F(ApplicationTest, FetchWalksApplicationsGroupsAndObjectsByPosition)
{
    UseScripted();
    const std::string object = Element("O", {"{O1}", "Valve 7", "feed", Enc("Operators:5;")});
    const std::string group =
        Element("G", {"{G2}", "Line 1", "mixing", Enc(""), Element("O", {"{O3}", "three", "x"}), object,
                      Element("O", {"{O5}", "five", "x", "y", "z"}), "<COUNT>3</COUNT>"});
    const std::string reply = Document(
        "<KVTAPPLS>" + Element("A", {"{A1}", "Plain", "no groups", Enc(""), Enc("")}) +
        Element("A", {"{A4}", "Four", "skipped", Enc("")}) +
        Element("A", {"{A2}", "Plant Ops", "with groups", Enc("Read:0x00000001;;Bad;Purge:0x80000000;"),
                      Enc("Operators:5;Operators:2;;Admins:-2147483633;NoColon;"),
                      Element("G", {"{G1}", "four", "x", Enc("")}), group, "<GROUPCOUNT>2</GROUPCOUNT>"}) +
        "<APPLCOUNT>3</APPLCOUNT></KVTAPPLS>");
    scripted.Enqueue({.body = reply});

    CKVTApplList list;
    std::vector<std::string> statuses;
    FetchApplications(list, [&](std::string_view text) { statuses.emplace_back(text); });

    EXPECT_EQ(scripted.Requests().at(0).target, Target("?Object=Appl&Operation=GetAll"));
    EXPECT_THAT(statuses, ElementsAre("Fetching Application Data from the Server...",
                                      "Initializing the Applications "));
    ASSERT_EQ(list.Applications.size(), 2u);
    EXPECT_EQ(list.Applications[0]->CN.str(), "Plain");
    EXPECT_TRUE(list.Applications[0]->Groups.empty());

    // The second record was read from the third element: its groups too.
    const CKVTAppl& ops = *list.Applications[1];
    EXPECT_EQ(ops.DN.str(), "{A2}");
    ASSERT_EQ(ops.Permissions.size(), 2u);
    EXPECT_EQ(ops.Permissions[1].Name.str(), "Purge");
    EXPECT_EQ(ops.Permissions[1].Value.str(), "0x80000000");
    EXPECT_THAT(Acl(ops.ACL), ElementsAre("Operators=5", "Operators=2", "Admins=2147483663"));
    ASSERT_EQ(ops.Groups.size(), 1u);
    const CKVTSecGroup& line = *ops.Groups[0];
    EXPECT_EQ(line.DN.str(), "{G2}");
    EXPECT_EQ(line.ApplName.str(), "Plant Ops");
    EXPECT_EQ(line.ApplDN.str(), "{A2}");
    ASSERT_EQ(line.Objects.size(), 1u);
    const CKVTApplSecObj& valve = *line.Objects[0];
    EXPECT_EQ(valve.DN.str(), "{O1}");
    EXPECT_EQ(valve.CN.str(), "Valve 7");
    EXPECT_EQ(valve.GroupDN.str(), "{G2}");
    EXPECT_EQ(valve.ApplDN.str(), "{A2}");
    EXPECT_EQ(valve.UseQ, 0);
    EXPECT_THAT(Acl(valve.ACL), ElementsAre("Operators=5"));
    // The document is let go once the tree is read.
    EXPECT_FALSE(ops.SourceElement().IsValid());
    EXPECT_FALSE(line.SourceElement().IsValid());
}

TEST_F(ApplicationTest, TheHandlerGetsEachApplicationWithItsOwnElement)
{
    UseScripted();
    scripted.Enqueue({.body = Document("<KVTAPPLS>" + Element("A", {"{A4}", "Four", "x", "y"}) +
                                       Element("A", {"{A1}", "One", "", "", "", "<G/>", "<END/>"}) +
                                       "<END/></KVTAPPLS>")});
    CKVTApplList list;
    std::vector<std::string> seen;
    FetchApplications(list, {},
                      [&](zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element,
                          CKVTAppl& application, CKVTApplList& owner) {
                          std::string dn;
                          zyr::xml::KvtXmlElement first;
                          document.FindElement(&element, "T0", first);
                          document.GetElementText(first, dn);
                          seen.push_back(application.CN.str() + ":" + dn);
                          EXPECT_EQ(&owner, &list);
                      });
    EXPECT_THAT(seen, ElementsAre("One:{A1}"));
}

TEST_F(ApplicationTest, FailedFetchesLeaveTheListEmptyAndSaySo)
{
    using zyr::records::FetchResult;
    UseScripted();
    scripted.Enqueue({.body = "Error: the applications cannot be read"});
    scripted.Enqueue({.status = 503});
    scripted.Enqueue({.body = Document("<KVTROLES/>")});
    scripted.Enqueue({.body = ""});
    // A list read an application at a time gives nothing when a later one
    // does not parse, as when read whole.
    scripted.Enqueue(
        {.body = Document("<KVTAPPLS><APPL><APPLDN>{A}</APPLDN><APPLNAME>A</APPLNAME><DESCRIPTION/>"
                          "<PERM/><ACL/></APPL><APPL><X a=1/></APPL><APPLCOUNT>2</APPLCOUNT>"
                          "</KVTAPPLS>")});
    scripted.Enqueue({.body = Document("<KVTAPPLS><ONLY/></KVTAPPLS>")});
    const FetchResult expected[] = {FetchResult::NotRead,  FetchResult::NotRead,  FetchResult::NotAList,
                                    FetchResult::NotAList, FetchResult::NotAList, FetchResult::Fetched};
    for (FetchResult want : expected) {
        CKVTApplList list;
        EXPECT_EQ(FetchApplications(list), want);
        EXPECT_TRUE(list.Applications.empty());
    }
}

TEST_F(ApplicationTest, ApplicationRequestsAreComposedExactly)
{
    UseScripted();
    scripted.SetDefaultReply({.body = "OK"});
    CKVTApplList list;
    CKVTAppl appl("Plant Ops", "North plant", true);
    EXPECT_EQ(appl.DN.str(), "Plant_Ops");
    ASSERT_TRUE(appl.Add());
    EXPECT_TRUE(
        std::regex_match(appl.DN.str(), std::regex("\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}")));
    const std::string perms = "Read:0x00000001;Write:0x00000002;Execute:0x00000004;";
    EXPECT_EQ(perms.size(), 52u);
    EXPECT_EQ(scripted.Requests().at(0).target,
              Target("?Object=Appl&Operation=Add&Appl=Plant%20Ops&DN=" + Esc(appl.DN.str()) +
                     "&Desc=North%20plant&Perm=" + Enc(perms) +
                     "&ACL=&User=PLANT%5Cop%20one&Computer=BUILD-07"));

    appl.ACL.emplace_back("Operators", 5);
    appl.ACL.emplace_back("Purgers", 0x80000000u);
    appl.AuditText = "OldValue=o&NewValue=n";
    ASSERT_TRUE(appl.Update());
    EXPECT_EQ(scripted.Requests().at(1).target,
              Target("?Object=Appl&Operation=Update&CN=Plant%20Ops&DN=" + Esc(appl.DN.str()) +
                     "&Desc=North%20plant&Perm=" + Enc(perms) + "&User=PLANT%5Cop%20one&Computer=BUILD-07"));
    EXPECT_EQ(Body(1), "OldValue=o&NewValue=n&ACL=" + Enc("Operators:5;Purgers:-2147483648;"));
    // A second Update sends one access-control field, the current one.
    appl.ACL.pop_back();
    ASSERT_TRUE(appl.Update());
    EXPECT_EQ(Body(2), "OldValue=o&NewValue=n&ACL=" + Enc("Operators:5;"));

    ASSERT_TRUE(appl.Delete());
    EXPECT_EQ(scripted.Requests().at(3).target,
              Target("?Object=Appl&Operation=Delete&DN=" + appl.DN.str() +
                     "&User=PLANT%5Cop%20one&Computer=BUILD-07&Appl=Plant%20Ops"));

    CKVTAppl bare("Bare", "", false);
    ASSERT_TRUE(bare.Update());
    EXPECT_THAT(scripted.Requests().at(4).target, HasSubstr("&Perm=&User="));
    EXPECT_EQ(Body(4), "&ACL=");
}

TEST_F(ApplicationTest, GroupAndObjectRequestsAreComposedExactly)
{
    UseScripted();
    scripted.SetDefaultReply({.body = "OK"});
    CKVTApplList list;
    CKVTAppl& appl = list.Append(std::make_unique<CKVTAppl>("Plant Ops", "", false));
    appl.DN = "{A}";
    auto group = std::make_unique<CKVTSecGroup>("Line 1", "Plant Ops", "{A}", "Mixing line");
    EXPECT_EQ(group->DN.str(), "Plant_Ops.Line_1");
    ASSERT_TRUE(group->Add());
    const std::string gdn = group->DN.str();
    EXPECT_EQ(gdn.size(), 38u);
    EXPECT_EQ(
        scripted.Requests().at(0).target,
        Target("?Object=SecGroup&Operation=Add&Appl={A}&Group=Line%201&DN=" + gdn +
               "&Desc=Mixing%20line&ACL=&User=PLANT%5Cop%20one&Computer=BUILD-07&ApplName=Plant%20Ops"));
    // An empty access-control list is sent, not skipped.
    ASSERT_TRUE(group->Update());
    EXPECT_EQ(scripted.Requests().at(1).target,
              Target("?Object=SecGroup&Operation=Update&Appl=Plant%20Ops&Group=Line%201&DN=" + gdn +
                     "&Desc=Mixing%20line&User=PLANT%5Cop%20one&Computer=BUILD-07&ApplName=Plant%20Ops"));
    EXPECT_EQ(Body(1), "&ACL=");
    ASSERT_TRUE(group->Delete());
    EXPECT_EQ(scripted.Requests().at(2).target,
              Target("?Object=SecGroup&Operation=Delete&DN=" + gdn +
                     "&User=PLANT%5Cop%20one&Computer=BUILD-07&Appl=Plant%20Ops&Group=Line%201"));

    CKVTSecGroup& g = *appl.Groups.emplace_back(std::move(group));
    auto object = std::make_unique<CKVTApplSecObj>("Valve 7", "G", "A", "Feed valve");
    EXPECT_EQ(object->DN.str(), "A.G.Valve_7");
    object->GroupDN = g.DN.view();
    object->ApplDN = "{A}";
    ASSERT_TRUE(object->Add());
    const std::string odn = object->DN.str();
    const std::string names = "&ApplName=Plant%20Ops&GroupName=Line%201";
    EXPECT_EQ(scripted.Requests().at(3).target,
              Target("?Object=SecObj&Operation=Add&CN=Valve%207&DN=" + odn + "&Appl={A}&Group=" + Esc(gdn) +
                     "&Desc=Feed%20valve&ACL=&QName=&QType=&QOper=&QValue=&UseQ=0"
                     "&User=PLANT%5Cop%20one&Computer=BUILD-07" +
                     names));
    object->UseQ = 1;
    object->Qualifier().QName = "Level";
    object->Qualifier().QOper = ">=";
    object->Qualifier().QType = "Integer";
    object->Qualifier().QValue = "10";
    object->ACL.emplace_back("Operators", 5);
    ASSERT_TRUE(object->Update());
    EXPECT_EQ(scripted.Requests().at(4).target,
              Target("?Object=SecObj&Operation=Update&CN=Valve%207&DN=" + odn +
                     "&Appl={A}&Group=" + Esc(gdn) +
                     "&Desc=Feed%20valve&QName=Level&QType=Integer&QOper=>=&QValue=10&UseQ=1"
                     "&User=PLANT%5Cop%20one&Computer=BUILD-07" +
                     names));
    EXPECT_EQ(Body(4), "&ACL=" + Enc("Operators:5;"));
    g.Objects.push_back(std::move(object));
    ASSERT_TRUE(g.Objects[0]->Delete());
    EXPECT_EQ(
        scripted.Requests().at(5).target,
        Target("?Object=SecObj&Operation=Delete&DN=" + odn +
               "&User=PLANT%5Cop%20one&Computer=BUILD-07&Appl=Plant%20Ops&Group=Line%201&CN=Valve%207"));
}

TEST_F(ApplicationTest, RefusalsAreFailuresAndUpdateShowsEveryFinding)
{
    UseScripted();
    CKVTAppl appl("Plant Ops", "", false);
    scripted.Enqueue({.body = "Error: no application has this identity"});
    EXPECT_FALSE(appl.Delete());
    EXPECT_TRUE(ui.boxes.empty());
    scripted.Enqueue({.body = "TAVOS_Send_Failed"});
    EXPECT_FALSE(appl.Delete());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, zyr::LoadStringAnsi(zyr::IDS_AUDIT_SEND_FAILED));

    scripted.Enqueue({.body = "error and Error"});
    EXPECT_FALSE(appl.Update());
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[1].caption, "Error");
    EXPECT_EQ(ui.boxes[2].text, "error and Error");
    scripted.Enqueue({.status = 404, .body = "gone"});
    EXPECT_FALSE(appl.Update());
    ASSERT_EQ(ui.boxes.size(), 4u);
    EXPECT_THAT(ui.boxes[3].text, HasSubstr("404"));
    scripted.Enqueue({.body = "OK"});
    EXPECT_TRUE(appl.Update());
}

TEST_F(ApplicationTest, ChangesReachTheReferenceServer)
{
    ZYR_USE_REFERENCE_SERVER();
    std::string applDN;
    {
        CKVTApplList list;
        FetchApplications(list);
        ASSERT_EQ(list.Applications.size(), 3u);
        CKVTAppl* historian = list.FindByNameOrDN("plant historian");
        ASSERT_NE(historian, nullptr);
        ASSERT_EQ(historian->Groups.size(), 2u);
        ASSERT_EQ(historian->Groups[1]->Objects.size(), 2u);
        const CKVTApplSecObj& purge = *historian->Groups[1]->Objects[1];
        EXPECT_EQ(purge.CN.str(), "Archive Purge");
        EXPECT_THAT(Acl(purge.ACL), ElementsAre("Supervisors=2147483663"));

        CKVTAppl& appl = list.Append(std::make_unique<CKVTAppl>("Plant Ops", "North plant", true));
        ASSERT_TRUE(appl.Add());
        applDN = appl.DN.str();
        auto group = std::make_unique<CKVTSecGroup>("Line 1", appl.CN.view(), appl.DN.view(), "Mixing");
        ASSERT_TRUE(group->Add());
        auto object = std::make_unique<CKVTApplSecObj>("Valve 7", group->DN.view(), appl.DN.view(), "Feed");
        ASSERT_TRUE(object->Add());
        zyr::records::GrantPermission(object->ACL, "Operators", 0x80000001u);
        object->AuditText = "OldValue=" + Enc("<ACE/>") + "&NewValue=" + Enc("<ACE>Operators:Read</ACE>");
        ASSERT_TRUE(object->Update()) << (ui.boxes.empty() ? "" : ui.boxes.back().text);
        group->Objects.push_back(std::move(object));
        zyr::records::GrantPermission(group->ACL, "Engineers", 3);
        ASSERT_TRUE(group->Update());
        appl.Groups.push_back(std::move(group));
        zyr::records::GrantPermission(appl.ACL, "Supervisors", 7);
        appl.Permissions.emplace_back("Purge", "0x80000000");
        ASSERT_TRUE(appl.Update());
    }
    CKVTApplList list;
    FetchApplications(list);
    ASSERT_EQ(list.Applications.size(), 4u);
    CKVTAppl* appl = list.FindByNameOrDN("", applDN);
    ASSERT_NE(appl, nullptr);
    EXPECT_EQ(appl->Permissions.size(), 4u);
    EXPECT_THAT(Acl(appl->ACL), ElementsAre("Supervisors=7"));
    ASSERT_EQ(appl->Groups.size(), 1u);
    EXPECT_THAT(Acl(appl->Groups[0]->ACL), ElementsAre("Engineers=3"));
    ASSERT_EQ(appl->Groups[0]->Objects.size(), 1u);
    CKVTApplSecObj& object = *appl->Groups[0]->Objects[0];
    EXPECT_EQ(object.CN.str(), "Valve 7");
    EXPECT_THAT(Acl(object.ACL), ElementsAre("Operators=2147483649"));

    EXPECT_TRUE(object.Delete());
    EXPECT_TRUE(appl->Groups[0]->Delete());
    EXPECT_TRUE(appl->Delete());
    EXPECT_FALSE(appl->Delete()); // already gone
}

} // namespace
} // namespace zyr::testing
