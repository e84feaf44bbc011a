// The Applications container and the application nodes: the tree built at
// start-up, their menus, New Application, export and import.
#include "tests/console/appl/ApplNodesFixture.h"

#include "console/framework/OpenPages.h"
#include "console/root/RootNode.h"
#include "records/ChangeFlows.h"
#include "records/ConsoleAccess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace zyr::testing {
namespace {

class ApplicationNodeTest : public ApplNodesFixture {};

TEST_F(ApplicationNodeTest, StartUpBuildsTheTreeOfTheDemoData)
{
    ZYR_USE_REFERENCE_SERVER();
    CApplicationNode& node = Build();
    EXPECT_THAT(statusSteps, ElementsAre("Fetching Application Data from the Server...",
                                         "Initializing the Applications "));
    ASSERT_EQ(node.m_children.size(), 3u);
    ASSERT_EQ(node.ApplList().Applications.size(), 3u);
    EXPECT_EQ(records::CurrentApplList(), &node.ApplList());

    // The tree below the container: scope items named after the records.
    ASSERT_EQ(Expand(node, 0x50), S_OK);
    ASSERT_EQ(mmc->scopeInserts.size(), 3u);
    for (const auto& insert : mmc->scopeInserts) {
        EXPECT_EQ(insert.item.relativeID, 0x50);
        EXPECT_EQ(insert.item.nImage, 1);
    }
    CApplInstanceNode* historian = nullptr;
    for (size_t i = 0; i < node.m_children.size(); ++i) {
        if (ScopeName(ApplNode(node, i)) == u"Plant Historian") {
            historian = &ApplNode(node, i);
        }
    }
    ASSERT_NE(historian, nullptr);
    EXPECT_EQ(Column(*historian, 1), u"Process data archive of the north plant");
    // Group and object nodes are made when the console first needs them.
    EXPECT_TRUE(historian->m_children.empty());
    EXPECT_EQ(historian->Application()->Groups.size(), 2u) << "the records are whole";
    EXPECT_EQ(Send(*historian, MMCN_EXPAND), S_OK);
    ASSERT_EQ(historian->m_children.size(), 2u);
    EXPECT_EQ(mmc->scopeInserts.size(), 5u);
    auto& unshown = *static_cast<CGroupNode*>(historian->m_children[1]);
    EXPECT_TRUE(unshown.m_children.empty());
    EXPECT_EQ(unshown.Group()->Objects.size(), 2u);
    EXPECT_EQ(Send(unshown, MMCN_SHOW), S_OK);
    EXPECT_EQ(unshown.m_children.size(), 2u);
    mmc->resultInserts.clear();
    mmc->columns.clear();
    CGroupNode& archive = GroupNode(*historian, 1);
    EXPECT_EQ(ScopeName(archive), u"Archive");
    EXPECT_EQ(archive.Group()->ApplName.str(), "Plant Historian");
    EXPECT_EQ(archive.Group()->ApplDN.str(), historian->Application()->DN.str());
    ASSERT_EQ(archive.m_children.size(), 2u);
    EXPECT_EQ(Column(ObjectNode(archive, 1), 0), u"Archive Purge");
    EXPECT_EQ(Column(ObjectNode(archive, 1), 2), u"");

    // Selecting: the container sets Refresh, an application Properties and
    // Delete; each shows its count.
    EXPECT_EQ(Send(node, MMCN_SELECT), S_OK);
    ASSERT_EQ(mmc->verbs.size(), 1u);
    EXPECT_EQ(mmc->verbs[0].verb, MMC_VERB_REFRESH);
    EXPECT_EQ(Send(*historian, MMCN_SELECT), S_OK);
    ASSERT_EQ(mmc->verbs.size(), 3u);
    EXPECT_EQ(mmc->verbs[1].verb, MMC_VERB_PROPERTIES);
    EXPECT_EQ(mmc->verbs[2].verb, MMC_VERB_DELETE);
    EXPECT_THAT(mmc->descriptionBar, ElementsAre(u"3 Applications", u"2 Groups"));

    // Showing a group lists its objects under its own columns; an object
    // selected shows the count of its group.
    EXPECT_EQ(Send(archive, MMCN_SHOW), S_OK);
    ASSERT_EQ(mmc->columns.size(), 2u);
    EXPECT_EQ(mmc->columns[0].title, u"Securable Object");
    EXPECT_EQ(mmc->columns[1].width, 350);
    ASSERT_EQ(mmc->resultInserts.size(), 2u);
    EXPECT_EQ(mmc->resultInserts[0].item.nImage, 7);
    EXPECT_EQ(Send(ObjectNode(archive, 0), MMCN_SELECT, 1, CCT_RESULT), S_OK);
    EXPECT_EQ(mmc->descriptionBar.back(), u"2 Objects");
    EXPECT_EQ(Send(archive, MMCN_SHOW, 0), E_NOTIMPL);
    EXPECT_EQ(mmc->resultInserts.size(), 2u);
}

TEST_F(ApplicationNodeTest, EachRecordKeepsItsOwnElementWhenMalformedOnesAreSkipped)
{
    UseScripted();
    const std::string fourChildren = Element("A", {"{A0}", "Four", "x", Enc("")});
    const std::string badGroup = Element("G", {"{G0}", "Three", "x"});
    const std::string badObject = Element("O", {"{O0}", "Three", "x"});
    scripted.Enqueue(
        {.body = ApplicationList(
             {fourChildren,
              Application("{A1}", "Plant Ops",
                          {badGroup, Group("{G1}", "Line 1", {badObject, Object("{O1}", "Valve 7")})}),
              Application("{A2}", "Plain", {})})});
    CApplicationNode& node = Build();
    ASSERT_EQ(node.m_children.size(), 2u);
    CApplInstanceNode& plant = ApplNode(node, 0);
    EXPECT_EQ(ScopeName(plant), u"Plant Ops");
    plant.BuildGroupNodes();
    ASSERT_EQ(plant.m_children.size(), 1u);
    CGroupNode& line = GroupNode(plant, 0);
    EXPECT_EQ(line.Group()->DN.str(), "{G1}");
    ASSERT_EQ(line.m_children.size(), 1u);
    EXPECT_EQ(ObjectNode(line, 0).Object()->DN.str(), "{O1}");
    EXPECT_EQ(ObjectNode(line, 0).Object()->GroupDN.str(), "{G1}");
    EXPECT_EQ(ScopeName(ApplNode(node, 1)), u"Plain");
    EXPECT_TRUE(ApplNode(node, 1).m_children.empty());

    // An empty container: no insertion, the plural with 0.
    scripted.Enqueue({.body = ApplicationList({})});
    CApplicationNode& empty = Build();
    EXPECT_EQ(Expand(empty, 0x60), E_NOTIMPL);
    EXPECT_EQ(Send(empty, MMCN_SELECT), S_OK);
    EXPECT_EQ(mmc->descriptionBar.back(), u"0 Applications");
}

TEST_F(ApplicationNodeTest, StartUpBuildsTheTreeOfALargeDatabase)
{
    if (!std::filesystem::exists(test::ReferenceServer::ExecutablePath())) {
        GTEST_SKIP() << "the reference server is not built";
    }
    ASSERT_TRUE(reference.Start({"--seed", "large:4,3,5,2,1,0"}));
    UseServer(reference.RequestUrl());
    CApplicationNode& node = Build();
    ASSERT_EQ(node.m_children.size(), 4u);
    for (size_t a = 0; a < 4; ++a) {
        CApplInstanceNode& appl = ApplNode(node, a);
        appl.BuildGroupNodes();
        ASSERT_EQ(appl.m_children.size(), 3u) << a;
        for (size_t g = 0; g < 3; ++g) {
            CGroupNode& group = GroupNode(appl, g);
            EXPECT_EQ(group.Group()->ApplDN.str(), appl.Application()->DN.str());
            ASSERT_EQ(group.m_children.size(), 5u);
            for (size_t o = 0; o < 5; ++o) {
                EXPECT_EQ(ObjectNode(group, o).Object()->GroupDN.str(), group.Group()->DN.str());
            }
        }
    }
}

TEST_F(ApplicationNodeTest, AListThatCannotBeReadIsToldNotShownEmpty)
{
    UseScripted();
    scripted.Enqueue({.body = "Error: the database is locked"});
    CApplicationNode& node = Build();
    EXPECT_TRUE(node.m_children.empty());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_THAT(ui.boxes[0].text, HasSubstr("The security server could not be read."));
    EXPECT_EQ(ui.boxes[0].style, ui::MB_OK | ui::MB_ICONERROR);
}

TEST_F(ApplicationNodeTest, RefreshShowsWhatChangedOnTheServerAndKeepsWhatIsShown)
{
    ZYR_USE_REFERENCE_SERVER();
    CApplicationNode& node = Build();
    ASSERT_EQ(Expand(node, 0x50), S_OK);
    auto find = [&node](std::u16string_view name) -> CApplInstanceNode* {
        for (size_t i = 0; i < node.m_children.size(); ++i) {
            if (ScopeName(ApplNode(node, i)) == name) {
                return &ApplNode(node, i);
            }
        }
        return nullptr;
    };
    CApplInstanceNode* historian = find(u"Plant Historian");
    ASSERT_NE(historian, nullptr);
    ASSERT_EQ(Expand(*historian, historian->m_scopeDataItem.ID), S_OK);
    auto* archive = static_cast<CGroupNode*>(historian->m_children.at(1));
    ASSERT_EQ(ScopeName(*archive), u"Archive");
    ASSERT_EQ(Send(*archive, MMCN_SHOW), S_OK);
    const HSCOPEITEM batchId = find(u"Batch Control")->m_scopeDataItem.ID;

    // Another console changes the database.
    {
        CKVTApplList other;
        ASSERT_EQ(FetchApplications(other), records::FetchResult::Fetched);
        CKVTAppl* theirs = other.FindByNameOrDN("Plant Historian");
        records::SetField(theirs->Description, "Archive of both plants", "Description");
        ASSERT_TRUE(theirs->Update());
        ASSERT_NE(records::AddGroup(*theirs, "Night Shift", "").added, nullptr);
        CKVTSecGroup& theirArchive = *theirs->Groups.at(1);
        ASSERT_NE(records::AddObject(theirArchive, "Archive Restore", "").added, nullptr);
        ASSERT_TRUE(other.FindByNameOrDN("Batch Control")->Delete());
        ASSERT_NE(records::AddApplication(other, "Packaging", "Line 4").added, nullptr);
    }
    // A property page stays open on the application over two refreshes:
    // the record it holds stays readable.
    const CKVTAppl* held = historian->Application();
    console::PageOpened();
    mmc->selected.clear();
    ASSERT_EQ(Send(node, MMCN_REFRESH), S_OK);
    ASSERT_EQ(node.m_children.size(), 3u);
    EXPECT_EQ(node.ApplList().Applications.size(), 3u);
    EXPECT_EQ(find(u"Batch Control"), nullptr);
    EXPECT_NE(find(u"Packaging"), nullptr);
    EXPECT_THAT(mmc->deletedScopes, ElementsAre(batchId));
    // What is shown stays, with what changed: the application's text, its
    // new group in the tree, the shown group's new object, shown afresh.
    EXPECT_EQ(find(u"Plant Historian"), historian);
    EXPECT_EQ(Column(*historian, 1), u"Archive of both plants");
    ASSERT_EQ(historian->m_children.size(), 3u);
    EXPECT_EQ(historian->m_children[1], archive);
    EXPECT_EQ(archive->m_children.size(), 3u);
    EXPECT_EQ(ScopeName(*historian->m_children[2]), u"Night Shift");
    EXPECT_EQ(mmc->scopeInserts.rbegin()[1].item.lParam, CSnapInItem::CookieOf(historian->m_children[2]));
    EXPECT_EQ(mmc->scopeInserts.back().item.lParam, CSnapInItem::CookieOf(find(u"Packaging")));
    EXPECT_THAT(mmc->selected, ElementsAre(archive->m_scopeDataItem.ID));
    EXPECT_EQ(mmc->descriptionBar.back(), u"3 Applications");
    ASSERT_EQ(Send(node, MMCN_REFRESH), S_OK);
    EXPECT_EQ(held->CN.view(), "Plant Historian");
    console::PageClosed();

    // A read that fails keeps what is shown and says so.
    reference.Stop();
    ASSERT_EQ(Send(node, MMCN_REFRESH), S_OK);
    EXPECT_EQ(node.m_children.size(), 3u);
    EXPECT_EQ(node.ApplList().Applications.size(), 3u);
    EXPECT_EQ(archive->m_children.size(), 3u);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_THAT(ui.boxes.back().text, HasSubstr("shown are those read before"));
}

TEST_F(ApplicationNodeTest, TheRootBuildsTheApplicationsContainerFirst)
{
    ServeSmallTree();
    CRootNode root;
    EXPECT_TRUE(root.InitChildren(nullptr));
    ASSERT_FALSE(root.m_children.empty());
    auto* node = dynamic_cast<CApplicationNode*>(root.m_children[0]);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->m_children.size(), 2u);
}

TEST_F(ApplicationNodeTest, MenusOfferTheirCommandsAtTheirInsertionPoints)
{
    ServeSmallTree();
    CApplicationNode& node = Build();
    auto menu = com::ComPtr<ScriptedMenu>::Attach(new ScriptedMenu);
    long allowed = CCM_INSERTIONALLOWED_TOP | CCM_INSERTIONALLOWED_NEW | CCM_INSERTIONALLOWED_TASK;
    ASSERT_EQ(node.AddMenuItems(menu.get(), &allowed, CCT_SCOPE), S_OK);
    ASSERT_EQ(menu->items.size(), 2u);
    EXPECT_EQ(menu->items[0].name, u"New Application");
    EXPECT_EQ(menu->items[0].insertionPoint, CCM_INSERTIONPOINTID_PRIMARY_NEW);
    EXPECT_EQ(menu->items[1].commandId, 32785);
    EXPECT_EQ(menu->items[1].status, u"Imports securable objects, groups and application data from a file. ");
    EXPECT_EQ(menu->items[1].insertionPoint, CCM_INSERTIONPOINTID_PRIMARY_TASK);

    menu->items.clear();
    ASSERT_EQ(ApplNode(node, 0).AddMenuItems(menu.get(), &allowed, CCT_SCOPE), S_OK);
    ASSERT_EQ(menu->items.size(), 3u);
    EXPECT_EQ(menu->items[0].name, u"Who Has Access...");
    EXPECT_EQ(menu->items[0].insertionPoint, CCM_INSERTIONPOINTID_PRIMARY_TOP);
    menu->items.erase(menu->items.begin());
    EXPECT_EQ(menu->items[0].name, u"Secure Group");
    EXPECT_EQ(menu->items[1].name, u"Export Application ...");
    EXPECT_EQ(menu->items[1].status,
              u"Exports all the securable objects, groups and the application data to a file.");

    menu->items.clear();
    ASSERT_EQ(GroupNode(ApplNode(node, 0), 0).AddMenuItems(menu.get(), &allowed, CCT_SCOPE), S_OK);
    ASSERT_EQ(menu->items.size(), 2u);
    EXPECT_EQ(menu->items[0].commandId, 32880);
    EXPECT_EQ(menu->items[1].name, u"Securable Object");
    EXPECT_EQ(menu->items[1].commandId, 32779);

    // "Who Has Access..." opens the window of the record it was chosen on.
    EXPECT_EQ(Command(ApplNode(node, 0), 32880), S_OK);
    EXPECT_EQ(Command(GroupNode(ApplNode(node, 0), 0), 32880), S_OK);
    EXPECT_EQ(windows.whoHasAccess.size(), 2u);
    EXPECT_EQ(windows.whoHasAccess[1], ApplNode(node, 0).Application()->CN.str() + "/" +
                                           GroupNode(ApplNode(node, 0), 0).Group()->CN.str());
}

TEST_F(ApplicationNodeTest, NewApplicationRefusesDuplicatesAndReservedCharactersBeforeSending)
{
    ServeSmallTree();
    CApplicationNode& node = Build();
    ASSERT_EQ(Expand(node, 0x50), S_OK);
    const size_t sent = scripted.RequestCount();

    EnterNew("PLANT ops");
    EXPECT_EQ(Command(node, CApplicationNode::ID_NEW_APPLICATION), S_OK);
    ASSERT_EQ(mmc->boxes.size(), 1u);
    EXPECT_EQ(mmc->boxes[0].text, u"Application 'Plant Ops' Already Exists");
    EXPECT_EQ(mmc->boxes[0].style, ui::MB_ICONINFORMATION);

    EnterNew("Line/2");
    EXPECT_EQ(Command(node, CApplicationNode::ID_NEW_APPLICATION), S_OK);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kReservedCharactersMessage);
    EnterNew("Mixing", "50% done");
    EXPECT_EQ(Command(node, CApplicationNode::ID_NEW_APPLICATION), S_OK);
    EXPECT_EQ(ui.boxes.size(), 2u);

    EXPECT_EQ(Command(node, CApplicationNode::ID_NEW_APPLICATION), S_OK) << "cancelled";
    EXPECT_EQ(scripted.RequestCount(), sent);
    EXPECT_EQ(node.m_children.size(), 2u);
    EXPECT_EQ(NewDialogs().parents.back(), mmc->mainWindow);
    EXPECT_EQ(NewDialogs().kinds.back(), console::NewItemKind::Application);
}

TEST_F(ApplicationNodeTest, NewApplicationAddsTheRecordAndInsertsItsNode)
{
    ServeSmallTree();
    CApplicationNode& node = Build();
    const size_t inserted = mmc->scopeInserts.size();
    EnterNew("Packaging", "Line 4");
    EXPECT_EQ(Command(node, CApplicationNode::ID_NEW_APPLICATION), S_OK);
    ASSERT_EQ(node.m_children.size(), 3u);
    EXPECT_EQ(mmc->scopeInserts.size(), inserted) << "not expanded yet: the expansion lists it";
    EXPECT_EQ(mmc->descriptionBar.back(), u"3 Applications");
    const CKVTAppl* added = ApplNode(node, 2).Application();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->DN.size(), 38u);
    EXPECT_EQ(added->Permissions.size(), 3u);
    EXPECT_THAT(RequestTarget(scripted.RequestCount() - 1),
                HasSubstr("Object=Appl&Operation=Add&Appl=Packaging"));

    ASSERT_EQ(Expand(node, 0x50), S_OK);
    EXPECT_EQ(mmc->scopeInserts.size(), inserted + 3);
    EnterNew("Utilities");
    EXPECT_EQ(Command(node, CApplicationNode::ID_NEW_APPLICATION), S_OK);
    ASSERT_EQ(mmc->scopeInserts.size(), inserted + 4);
    EXPECT_EQ(mmc->scopeInserts.back().item.relativeID, 0x50);
    EXPECT_EQ(mmc->scopeInserts.back().item.lParam, CSnapInItem::CookieOf(node.m_children.back()));

    // A refused Add leaves the tree as it was.
    scripted.Enqueue({.status = 500});
    EnterNew("Refused");
    EXPECT_EQ(Command(node, CApplicationNode::ID_NEW_APPLICATION), S_OK);
    EXPECT_EQ(node.m_children.size(), 4u);
    EXPECT_EQ(node.ApplList().Applications.size(), 4u);
}

TEST_F(ApplicationNodeTest, ChangesAreRefusedWhileTheAuditTrailIsUnusable)
{
    ServeSmallTree();
    CApplicationNode& node = Build();
    const size_t sent = scripted.RequestCount();
    console::SetAuditCheck([] { return true; });
    EnterNew("Packaging");
    EXPECT_EQ(Command(node, CApplicationNode::ID_NEW_APPLICATION), S_OK);
    EXPECT_EQ(Command(ApplNode(node, 0), CApplInstanceNode::ID_NEW_SECURE_GROUP), S_OK);
    EXPECT_EQ(Send(ApplNode(node, 1), MMCN_DELETE), S_OK);
    EXPECT_EQ(Send(ObjectNode(GroupNode(ApplNode(node, 0), 0), 0), MMCN_DELETE, 1, CCT_RESULT), S_OK);
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    EXPECT_TRUE(NewDialogs().kinds.empty()) << "no dialog is shown";
    EXPECT_TRUE(ui.openDialogs.empty());
    ASSERT_EQ(ui.boxes.size(), 5u);
    EXPECT_EQ(ui.boxes[0].text, LoadStringAnsi(IDS_AUDIT_COMPONENTS_MISSING));
    EXPECT_EQ(scripted.RequestCount(), sent);
    EXPECT_EQ(node.m_children.size(), 2u);
}

TEST_F(ApplicationNodeTest, ExportThenImportIntoASecondServer)
{
    ZYR_USE_REFERENCE_SERVER();
    const auto path = tempDir / "batch.xml";
    std::string batchDN;
    {
        CApplicationNode& node = Build();
        for (size_t i = 0; i < node.m_children.size(); ++i) {
            if (ScopeName(ApplNode(node, i)) == u"Batch Control") {
                batchDN = ApplNode(node, i).Application()->DN.str();
                ui.savePaths.push_back(path.string());
                EXPECT_EQ(Command(ApplNode(node, i), CApplInstanceNode::ID_EXPORT_APPLICATION), S_OK);
            }
        }
        ASSERT_EQ(ui.saveDialogs.size(), 1u);
        EXPECT_TRUE(ui.boxes.empty()) << "no message on success";
        applications.reset();
    }

    test::ReferenceServer second;
    ASSERT_TRUE(second.Start({}));
    UseServer(second.RequestUrl());
    CApplicationNode& node = Build();
    ASSERT_TRUE(node.m_children.empty());
    ASSERT_EQ(Expand(node, 0x70), E_NOTIMPL);
    ui.openPaths.push_back(path.string());
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    ASSERT_EQ(ui.openDialogs.size(), 1u);
    EXPECT_EQ(ui.openDialogs[0].filter, "Export File (*.XML)|*.XML|All Files (*.*)|*.*|");
    EXPECT_EQ(ui.openDialogs[0].initialName, "*.xml");
    EXPECT_EQ(ui.waitCursorDepth, 0);
    ASSERT_EQ(node.m_children.size(), 1u);
    EXPECT_EQ(ScopeName(ApplNode(node, 0)), u"Batch Control");
    ApplNode(node, 0).BuildGroupNodes();
    EXPECT_EQ(ApplNode(node, 0).m_children.size(), 2u);
    ASSERT_EQ(mmc->scopeInserts.size(), 1u);
    EXPECT_EQ(mmc->scopeInserts[0].item.relativeID, 0x70);
    EXPECT_EQ(mmc->descriptionBar.back(), u"1 Application");

    // The second server holds what the file held.
    CKVTApplList fetched;
    FetchApplications(fetched);
    const CKVTAppl* batch = fetched.FindByNameOrDN("Batch Control");
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(batch->DN.str(), batchDN);
    ASSERT_EQ(batch->Groups.size(), 2u);
    EXPECT_EQ(batch->Groups[0]->Objects.size(), 3u);

    // The same file again is refused by the console, through its own box.
    ui.openPaths.push_back(path.string());
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    ASSERT_EQ(mmc->boxes.size(), 1u);
    EXPECT_EQ(mmc->boxes[0].text, u"An application with the same name or ID already exists.");
    EXPECT_EQ(node.m_children.size(), 1u);
}

TEST_F(ApplicationNodeTest, AnImportOverTheConsolesApplicationIsRefusedBeforeItIsSent)
{
    ZYR_USE_REFERENCE_SERVER();
    const auto path = tempDir / "console.xml";
    CApplicationNode& node = Build();
    for (size_t i = 0; i < node.m_children.size(); ++i) {
        if (ScopeName(ApplNode(node, i)) == u"Morvel Framework") {
            ui.savePaths.push_back(path.string());
            ASSERT_EQ(Command(ApplNode(node, i), CApplInstanceNode::ID_EXPORT_APPLICATION), S_OK);
        }
    }
    const size_t shown = node.m_children.size();
    CKVTRoleList roles; // the console's role list, which the guard reads
    ASSERT_EQ(roles.GetRoles(), records::FetchResult::Fetched);
    ui.openPaths.push_back(path.string());
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, records::kLockoutMessage);
    EXPECT_TRUE(windows.previewed.empty()) << "refused before the preview";
    EXPECT_EQ(node.m_children.size(), shown);
}

TEST_F(ApplicationNodeTest, AnImportIsCheckedBeforeAnythingIsSent)
{
    ServeSmallTree();
    CApplicationNode& node = Build();
    const size_t sent = scripted.RequestCount();
    auto file = [this](const std::string& name, const std::string& name2, const std::string& id) {
        const auto path = tempDir / (name2 + ".xml");
        std::ofstream(path) << "<DOCUMENT><ApplName>" << name << "</ApplName><ApplID>" << id
                            << "</ApplID><Description>d</Description><KVTPerm>Read:0x00000001;</KVTPerm>"
                            << "<GroupCount>0</GroupCount></DOCUMENT>";
        ui.openPaths.push_back(path.string());
    };
    file("Line/2", "reserved", "{N1}");
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kReservedCharactersMessage);
    file("New Name", "sameid", "{A2}");
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    ASSERT_EQ(mmc->boxes.size(), 1u);
    EXPECT_EQ(mmc->boxes[0].text, u"An application with the same name or ID already exists.");
    file("plain", "samename", "{N2}");
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    EXPECT_EQ(mmc->boxes.size(), 2u);
    ui.openPaths.push_back((tempDir / "missing.xml").string());
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK) << "an unreadable file: nothing";
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK) << "cancelled";
    EXPECT_EQ(scripted.RequestCount(), sent) << "no request reached the server";
    EXPECT_EQ(node.m_children.size(), 2u);

    // Results that mean failure fail the import and add nothing.
    for (const test::ScriptedReply& reply :
         {test::ScriptedReply{.status = 404}, test::ScriptedReply{.status = 500},
          test::ScriptedReply{.headers = {{"ZYR Error", "refused"}}, .body = "Error: x"},
          test::ScriptedReply{.body = "TAVOS_Send_Failed"}}) {
        scripted.Enqueue(reply);
        file("Fresh", "fresh", "{N3}");
        EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), E_FAIL) << reply.status;
        EXPECT_EQ(node.m_children.size(), 2u);
    }
    EXPECT_EQ(ui.boxes.back().text, LoadStringAnsi(IDS_AUDIT_SEND_FAILED));
    EXPECT_EQ(scripted.RequestCount(), sent + 4);
    const test::RecordedRequest post = scripted.Requests().back();
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.target,
              Target("?Object=KVTAPI&Operation=ApplImp&User=PLANT%5Cop%20one&Computer=BUILD-07"));
    EXPECT_THAT(post.body, HasSubstr("<ApplName>Fresh</ApplName>"));

    // The preview comes before the file is sent: Cancel sends nothing.
    const size_t before = scripted.RequestCount();
    windows.importAnswers.push_back(false);
    file("Fresh", "fresh", "{N3}");
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    EXPECT_EQ(scripted.RequestCount(), before);
    ASSERT_FALSE(windows.previewed.empty());
    EXPECT_EQ(windows.previewed.back(), "Fresh");
    file("Fresh", "fresh", "{N3}");
    EXPECT_EQ(Command(node, CApplicationNode::ID_IMPORT_APPLICATION), S_OK);
    ASSERT_EQ(node.m_children.size(), 3u);
    EXPECT_EQ(ApplNode(node, 2).Application()->DN.str(), "{N3}");
}

} // namespace
} // namespace zyr::testing
