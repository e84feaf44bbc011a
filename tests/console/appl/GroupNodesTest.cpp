// Secure groups and securable objects below an application: New Secure Group
// and New Securable Object, the deletes the server takes or refuses, the
// pages and the refresh after a page changed a record.
#include "tests/console/appl/ApplNodesFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace zyr::testing {
namespace {

class GroupNodesTest : public ApplNodesFixture {
protected:
    void SetUp() override
    {
        ApplNodesFixture::SetUp();
        ServeSmallTree();
        Build();
        ASSERT_EQ(Expand(*applications, 0x50), S_OK);
        ASSERT_EQ(Expand(Plant(), 0x51), S_OK);
        sent = scripted.RequestCount();
    }
    CApplInstanceNode& Plant() { return ApplNode(*applications, 0); }
    CGroupNode& Line() { return GroupNode(Plant(), 0); }

    size_t sent = 0;
};

TEST_F(GroupNodesTest, NewGroupsAndObjectsRefuseNamesTakenInAnotherLetterCase)
{
    EnterNew("LINE 1");
    EXPECT_EQ(Command(Plant(), CApplInstanceNode::ID_NEW_SECURE_GROUP), S_OK);
    EnterNew("pump 2");
    EXPECT_EQ(Command(Line(), CGroupNode::ID_NEW_SECURABLE_OBJECT), S_OK);
    ASSERT_EQ(mmc->boxes.size(), 2u);
    EXPECT_EQ(mmc->boxes[0].text, u"Securable Group 'Line 1' Already Exists");
    EXPECT_EQ(mmc->boxes[1].text, u"Securable Object 'Pump 2' Already Exists");
    EXPECT_EQ(mmc->boxes[1].style, ui::MB_ICONINFORMATION);

    EnterNew("Line|3");
    EXPECT_EQ(Command(Plant(), CApplInstanceNode::ID_NEW_SECURE_GROUP), S_OK);
    EnterNew("Valve 9", "<hot>");
    EXPECT_EQ(Command(Line(), CGroupNode::ID_NEW_SECURABLE_OBJECT), S_OK);
    EXPECT_EQ(ui.boxes.size(), 2u);
    EXPECT_THAT(NewDialogs().kinds, ElementsAre(console::NewItemKind::Group, console::NewItemKind::Object,
                                                console::NewItemKind::Group, console::NewItemKind::Object));
    EXPECT_EQ(scripted.RequestCount(), sent);
    EXPECT_EQ(Plant().m_children.size(), 2u);
    EXPECT_EQ(Line().m_children.size(), 2u);
}

TEST_F(GroupNodesTest, NewGroupAndObjectJoinTheRecordsAndTheConsole)
{
    const size_t inserted = mmc->scopeInserts.size();
    EnterNew("Line 2", "Filling");
    EXPECT_EQ(Command(Plant(), CApplInstanceNode::ID_NEW_SECURE_GROUP), S_OK);
    ASSERT_EQ(Plant().m_children.size(), 3u);
    CGroupNode& line2 = GroupNode(Plant(), 2);
    EXPECT_EQ(line2.Group(), Plant().Application()->Groups.back().get());
    EXPECT_EQ(line2.Group()->ApplDN.str(), "{A1}");
    EXPECT_THAT(RequestTarget(sent), HasSubstr("?Object=SecGroup&Operation=Add&Appl={A1}&Group=Line%202"));
    ASSERT_EQ(mmc->scopeInserts.size(), inserted + 1);
    EXPECT_EQ(mmc->scopeInserts.back().item.relativeID, 0x51);
    EXPECT_EQ(mmc->scopeInserts.back().item.nImage, 8);
    EXPECT_EQ(mmc->descriptionBar.back(), u"3 Groups");
    // The application is shown afresh, with the new group selected.
    EXPECT_THAT(mmc->selected, ElementsAre(0x51));

    EnterNew("Valve 9", "Drain");
    EXPECT_EQ(Command(Line(), CGroupNode::ID_NEW_SECURABLE_OBJECT), S_OK);
    ASSERT_EQ(Line().m_children.size(), 3u);
    const CKVTApplSecObj* valve = ObjectNode(Line(), 2).Object();
    EXPECT_EQ(valve, Line().Group()->Objects.back().get());
    EXPECT_EQ(valve->GroupDN.str(), "{G1}");
    EXPECT_THAT(RequestTarget(sent + 1), HasSubstr("?Object=SecObj&Operation=Add&CN=Valve%209&DN=" +
                                                   valve->DN.str() + "&Appl={A1}&Group=%7BG1%7D&Desc=Drain"));
    EXPECT_THAT(mmc->selected, ElementsAre(0x51, Line().m_scopeDataItem.ID));
    EXPECT_EQ(mmc->descriptionBar.back(), u"3 Objects");
}

TEST_F(GroupNodesTest, AnObjectIsRemovedOnlyWhenTheServerDeletedIt)
{
    ASSERT_EQ(Send(Line(), MMCN_SHOW), S_OK);
    CApplSecObjNode& valve = ObjectNode(Line(), 0);
    const HRESULTITEM valveItem = valve.m_resultDataItem.itemID;
    ASSERT_NE(valveItem, 0);

    ui.answers.push_back(ui::IDNO);
    EXPECT_EQ(Send(valve, MMCN_DELETE, 1, CCT_RESULT), S_OK);
    EXPECT_EQ(scripted.RequestCount(), sent);

    scripted.Enqueue({.status = 500});
    EXPECT_EQ(Send(valve, MMCN_DELETE, 1, CCT_RESULT), E_FAIL);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[1].text, "Are you sure you want to delete the securable object Valve 7?");
    EXPECT_EQ(ui.boxes[1].style, ui::MB_ICONWARNING | ui::MB_YESNO);
    EXPECT_EQ(ui.boxes[2].text,
              "The securable object 'Valve 7' could not be deleted. It is still in the security database.");
    EXPECT_EQ(ui.boxes[2].style & ui::MB_ICONMASK, ui::MB_ICONERROR);
    EXPECT_EQ(Line().Group()->Objects.size(), 2u);
    EXPECT_EQ(Line().m_children.size(), 2u);
    EXPECT_TRUE(mmc->deletedResults.empty());

    EXPECT_EQ(Send(valve, MMCN_DELETE, 1, CCT_RESULT), S_OK);
    EXPECT_THAT(RequestTarget(scripted.RequestCount() - 1),
                HasSubstr("?Object=SecObj&Operation=Delete&DN={O1}&User="));
    EXPECT_EQ(Line().Group()->Objects.size(), 1u);
    EXPECT_EQ(Line().m_children.size(), 1u);
    EXPECT_THAT(mmc->deletedResults, ElementsAre(valveItem));
    EXPECT_FALSE(valve.m_bPresent);
    EXPECT_EQ(Column(valve, 0), u"");
    EXPECT_EQ(mmc->descriptionBar.back(), u"1 Object");
    EXPECT_EQ(ui.waitCursorDepth, 0);

    EXPECT_EQ(Send(ObjectNode(Line(), 0), MMCN_DELETE, 1, CCT_RESULT), S_OK);
    EXPECT_EQ(mmc->descriptionBar.back(), u"0 Objects");
    EXPECT_EQ(Send(valve, MMCN_DELETE, 1, CCT_RESULT), E_FAIL) << "a deleted node has no record";
}

TEST_F(GroupNodesTest, GroupsAndApplicationsAreRemovedOnlyWhenTheServerDeletedThem)
{
    CGroupNode& line = Line();
    const HSCOPEITEM lineId = line.m_scopeDataItem.ID;
    mmc->boxAnswers = {ui::IDYES, ui::IDOK};
    scripted.Enqueue({.status = 500});
    EXPECT_EQ(Send(line, MMCN_DELETE), E_FAIL);
    ASSERT_EQ(mmc->boxes.size(), 2u);
    EXPECT_EQ(mmc->boxes[0].text, u"Are you sure you want to delete the secure group 'Line 1'?");
    EXPECT_EQ(mmc->boxes[0].style, ui::MB_YESNO | ui::MB_ICONWARNING);
    EXPECT_EQ(mmc->boxes[1].text,
              u"The secure group 'Line 1' could not be deleted. It is still in the security database.");
    EXPECT_EQ(Plant().Application()->Groups.size(), 2u);
    EXPECT_EQ(Plant().m_children.size(), 2u);

    mmc->boxAnswers = {ui::IDYES};
    EXPECT_EQ(Send(line, MMCN_DELETE), S_OK);
    EXPECT_THAT(RequestTarget(scripted.RequestCount() - 1),
                HasSubstr("?Object=SecGroup&Operation=Delete&DN={G1}&User="));
    EXPECT_EQ(Plant().Application()->Groups.size(), 1u);
    ASSERT_EQ(Plant().m_children.size(), 1u);
    EXPECT_THAT(mmc->deletedScopes, ElementsAre(lineId));
    EXPECT_EQ(line.Group(), nullptr);
    EXPECT_EQ(ScopeName(line), u"") << "nothing is filled for a deleted group";

    CApplInstanceNode& plain = ApplNode(*applications, 1);
    const HSCOPEITEM plainId = plain.m_scopeDataItem.ID;
    scripted.Enqueue({.body = "TAVOS_Send_Failed"});
    EXPECT_EQ(Send(plain, MMCN_DELETE), E_FAIL);
    EXPECT_EQ(ui.boxes.back().text,
              "The application 'Plain' could not be deleted. It is still in the security database.");
    EXPECT_EQ(applications->ApplList().Applications.size(), 2u);

    const size_t before = scripted.RequestCount();
    ui.answers.push_back(ui::IDNO);
    EXPECT_EQ(Send(plain, MMCN_DELETE), S_OK);
    EXPECT_EQ(scripted.RequestCount(), before);

    EXPECT_EQ(Send(plain, MMCN_DELETE), S_OK);
    EXPECT_THAT(RequestTarget(scripted.RequestCount() - 1),
                HasSubstr("?Object=Appl&Operation=Delete&DN={A2}&User="));
    EXPECT_EQ(applications->ApplList().Applications.size(), 1u);
    EXPECT_EQ(applications->m_children.size(), 1u);
    EXPECT_EQ(mmc->deletedScopes.back(), plainId);
    EXPECT_FALSE(plain.m_bPresent);
    EXPECT_EQ(plain.Application(), nullptr);
}

TEST_F(GroupNodesTest, APageChangeShowsTheRecordAgain)
{
    ASSERT_EQ(Send(Line(), MMCN_SHOW), S_OK);
    CApplSecObjNode& valve = ObjectNode(Line(), 0);
    auto report = [this](const void* key, BOOL scope) {
        return view->Notify(nullptr, MMCN_PROPERTY_CHANGE, scope, reinterpret_cast<LPARAM>(key));
    };
    Plant().Application()->CN = "Plant Operations";
    EXPECT_EQ(report(Plant().Application(), 1), S_OK);
    EXPECT_EQ(report(Line().Group(), 1), S_OK);
    EXPECT_EQ(report(&Line(), 1), S_OK) << "the node's cookie names it too";
    EXPECT_THAT(mmc->changedScopes, ElementsAre(Plant().m_scopeDataItem.ID, Line().m_scopeDataItem.ID,
                                                Line().m_scopeDataItem.ID));
    EXPECT_EQ(ScopeName(Plant()), u"Plant Operations");
    EXPECT_EQ(report(valve.Object(), 0), S_OK);
    EXPECT_THAT(mmc->updatedResults, ElementsAre(valve.m_resultDataItem.itemID));

    int unknown = 0;
    EXPECT_EQ(report(&unknown, 0), E_NOTIMPL);
    const CKVTApplSecObj* gone = valve.Object();
    EXPECT_EQ(Send(valve, MMCN_DELETE, 1, CCT_RESULT), S_OK);
    EXPECT_EQ(report(gone, 0), E_NOTIMPL) << "a deleted record names no node";
}

// Lists the pages it is asked for.
struct PageRecorder : ApplicationWindowsDouble {
    HRESULT AddApplicationPages(CKVTAppl* a, IPropertySheetCallback*, LONG_PTR notifyHandle) override
    {
        calls.push_back("application " + a->CN.str());
        handle = notifyHandle;
        return S_OK;
    }
    HRESULT AddGroupPages(CKVTAppl* a, CKVTSecGroup* g, IPropertySheetCallback*, LONG_PTR) override
    {
        calls.push_back("group " + g->CN.str() + " of " + a->CN.str());
        return S_OK;
    }
    HRESULT AddObjectPages(CKVTAppl* a, CKVTApplSecObj* o, IPropertySheetCallback*, LONG_PTR) override
    {
        calls.push_back("object " + o->CN.str() + " of " + a->CN.str());
        return S_OK;
    }
    std::vector<std::string> calls;
    LONG_PTR handle = 0;
};

TEST_F(GroupNodesTest, PagesAreOpenedThroughTheInstalledHooks)
{
    CApplSecObjNode& valve = ObjectNode(Line(), 0);
    auto sheet = com::ComPtr<ScriptedSheet>::Attach(new ScriptedSheet);
    EXPECT_EQ(Plant().CreatePropertyPages(sheet.get(), 7, nullptr, CCT_SCOPE), S_OK) << "nothing installed";

    PageRecorder recorder;
    console::SetApplicationUi(&recorder);
    EXPECT_EQ(Plant().CreatePropertyPages(sheet.get(), 7, nullptr, CCT_SCOPE), S_OK);
    EXPECT_EQ(Line().CreatePropertyPages(sheet.get(), 7, nullptr, CCT_SNAPIN_MANAGER), S_OK);
    EXPECT_EQ(valve.CreatePropertyPages(sheet.get(), 7, nullptr, CCT_RESULT), S_OK);
    EXPECT_EQ(valve.CreatePropertyPages(sheet.get(), 7, nullptr, CCT_SNAPIN_MANAGER), E_UNEXPECTED);
    EXPECT_EQ(Line().CreatePropertyPages(sheet.get(), 7, nullptr, CCT_UNINITIALIZED), E_UNEXPECTED);
    EXPECT_THAT(recorder.calls, ElementsAre("application Plant Ops", "group Line 1 of Plant Ops",
                                            "object Valve 7 of Plant Ops"));
    EXPECT_EQ(recorder.handle, 7);

    for (CSnapInItem* node :
         std::initializer_list<CSnapInItem*>{applications.get(), &Plant(), &Line(), &valve}) {
        EXPECT_EQ(node->QueryPagesFor(CCT_SCOPE), S_OK);
        EXPECT_EQ(node->QueryPagesFor(CCT_RESULT), S_OK);
        EXPECT_EQ(node->QueryPagesFor(CCT_SNAPIN_MANAGER), S_FALSE);
    }
}

TEST_F(GroupNodesTest, RefreshGivesNodesToGroupsThatHaveNone)
{
    auto& added = Plant().Application()->Groups.emplace_back(
        std::make_unique<CKVTSecGroup>("Line 3", "Plant Ops", "{A1}", "late"));
    const size_t inserted = mmc->scopeInserts.size();
    EXPECT_EQ(Send(Plant(), MMCN_REFRESH), S_OK);
    ASSERT_EQ(Plant().m_children.size(), 3u);
    EXPECT_EQ(GroupNode(Plant(), 2).Group(), added.get());
    EXPECT_EQ(mmc->scopeInserts.size(), inserted + 1);
    EXPECT_EQ(Send(Plant(), MMCN_REFRESH), S_OK);
    EXPECT_EQ(Plant().m_children.size(), 3u) << "once";
    EXPECT_EQ(Send(*applications, MMCN_REFRESH), S_OK);
    EXPECT_EQ(Send(Line(), MMCN_REFRESH), S_OK);
    EXPECT_EQ(Send(Line(), MMCN_EXPAND), E_NOTIMPL) << "a group has no scope children";
}

} // namespace
} // namespace zyr::testing
