// The Logs container and its entries against a scripted console and server:
// the filter on first show, paging, refresh, the deletions the server takes
// or refuses, and the list export.
#include "console/KVTSnapin.h"
#include "console/framework/StartupHooks.h"
#include "console/root/RootNode.h"
#include "tests/console/log/LogFixture.h"
#include "web/SecurityPost.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zyr::testing {
namespace {

namespace ui = zyr::ui;

class LogNodeTest : public LogFixture {
protected:
    HRESULT Run(CSnapInItem& node, long command) { return node.Command(command, view.get(), CCT_SCOPE); }
    static std::u16string Column(CLogInstanceNode* node, int column) { return node->GetColumnText(column); }

    // Shows every entry and moves on to the second page of 50.
    void ShowSecondPage(CLogNode& node)
    {
        filter.choice = {};
        scripted.Enqueue({.body = Page(50)});
        ASSERT_EQ(S_OK, FirstShow(node));
        scripted.Enqueue({.body = Page(50, 50)});
        ASSERT_EQ(S_OK, Run(node, CLogNode::ID_NEXT_LOGS));
    }
};

TEST_F(LogNodeTest, FilterIsAskedUntilAcceptedThenTheRangeStays)
{
    CLogNode node;
    filter.answer = false;
    EXPECT_EQ(E_NOTIMPL, FirstShow(node)) << "a cancelled filter shows an empty pane";
    EXPECT_EQ(0u, scripted.RequestCount());
    EXPECT_TRUE(mmc->resultInserts.empty());

    filter.answer = true;
    filter.choice = Range("12/5/2026", "12/6/2026");
    scripted.Enqueue({.body = Page(3)});
    ASSERT_EQ(S_OK, FirstShow(node));
    EXPECT_EQ(2, filter.shown) << "the dialog comes back after a cancel";
    EXPECT_EQ(Target("?Object=Log&Operation=Get&FromDate=12/5/2026&ToDate=12/6/2026&DisplaySet=0"),
              LastTarget());
    ASSERT_EQ(3u, node.m_children.size());
    ASSERT_EQ(3u, mmc->resultInserts.size());
    EXPECT_EQ(CSnapInItem::CookieOf(node.m_children[0]), mmc->resultInserts[0].item.lParam);
    EXPECT_EQ(u"2026-12-05 13:04:01", Column(Child(node, 1), 0));
    EXPECT_EQ(u"PLANT\\user1", Column(Child(node, 1), 1));
    EXPECT_EQ(u"Logon", Column(Child(node, 1), 2));
    EXPECT_EQ(3, mmc->resultInserts[0].item.nImage);
    EXPECT_EQ(5, mmc->resultInserts[2].item.nImage) << "\"FAILED\" in capitals is a failure too";
    EXPECT_EQ(0, ui.waitCursorDepth);

    // Later shows list the same page without asking or fetching.
    ASSERT_EQ(S_OK, FirstShow(node));
    EXPECT_EQ(2, filter.shown);
    EXPECT_EQ(1u, scripted.RequestCount());
    EXPECT_EQ(6u, mmc->resultInserts.size());
    EXPECT_EQ("12/6/2026", node.m_strToDate);
}

TEST_F(LogNodeTest, AFailedFirstFetchAsksAgainNextTime)
{
    CLogNode node;
    filter.choice = Range("12/5/2026", "12/6/2026");
    scripted.Enqueue({.body = "Error: injected"});
    EXPECT_TRUE(FAILED(FirstShow(node)));
    EXPECT_TRUE(node.m_bFirstShow);
    scripted.Enqueue({.body = Page(1)});
    EXPECT_EQ(S_OK, FirstShow(node));
    EXPECT_EQ(2, filter.shown);
    EXPECT_FALSE(node.m_bFirstShow);
}

TEST_F(LogNodeTest, RefreshOfAnUnfilteredContainerSendsEmptyDatesFromPageZero)
{
    CLogNode node;
    node.m_scopeDataItem.ID = 0x42;
    filter.choice = {};
    scripted.Enqueue({.body = Page(50)});
    ASSERT_EQ(S_OK, FirstShow(node));
    EXPECT_EQ(Target("?Object=Log&Operation=Get&DisplaySet=0"), LastTarget());

    scripted.Enqueue({.body = Page(50, 50)});
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_NEXT_LOGS));
    EXPECT_EQ(Target("?Object=Log&Operation=Get&FromDate=&ToDate=&DisplaySet=1"), LastTarget());

    scripted.Enqueue({.body = Page(4)});
    const int deletesBefore = mmc->CountOf("DeleteAllRsltItems");
    ASSERT_EQ(S_OK, node.OnRefresh(mmc.get()));
    EXPECT_EQ(Target("?Object=Log&Operation=Get&FromDate=&ToDate=&DisplaySet=0"), LastTarget());
    EXPECT_EQ(0, node.m_nPageNumber);
    EXPECT_EQ(4u, node.m_children.size());
    EXPECT_EQ(deletesBefore + 1, mmc->CountOf("DeleteAllRsltItems")) << "the old page's rows go";
    ASSERT_FALSE(mmc->selected.empty());
    EXPECT_EQ(0x42, mmc->selected.back());
    EXPECT_EQ(u"1 - 4 Log Items", LastDescription());
}

TEST_F(LogNodeTest, PagingMovesOnlyPastFullPagesAndNeverBeforePageZero)
{
    CLogNode node;
    filter.choice = Range("12/1/2026", "12/8/2026");
    scripted.Enqueue({.body = Page(49)});
    ASSERT_EQ(S_OK, FirstShow(node));
    EXPECT_EQ(S_OK, Run(node, CLogNode::ID_NEXT_LOGS));
    EXPECT_EQ(S_OK, Run(node, CLogNode::ID_PREVIOUS_LOGS));
    EXPECT_EQ(1u, scripted.RequestCount()) << "a short page is the last; page 0 is the first";
    EXPECT_EQ(0, node.m_nPageNumber);

    scripted.Enqueue({.body = Page(50)});
    ASSERT_EQ(S_OK, node.OnRefresh(mmc.get()));
    EXPECT_EQ(u"1 - 50 Log Items", LastDescription());

    // A paging button clicked while an entry is selected runs through it.
    scripted.Enqueue({.body = Page(0)});
    ASSERT_EQ(S_OK, Child(node, 10)->ControlbarNotify(nullptr, nullptr, nullptr, MMCN_BTN_CLICK, 0,
                                                      CLogNode::ID_NEXT_LOGS, view.get(), CCT_RESULT));
    EXPECT_EQ(Target("?Object=Log&Operation=Get&FromDate=12/1/2026&ToDate=12/8/2026&DisplaySet=1"),
              LastTarget());
    EXPECT_EQ(1, node.m_nPageNumber);
    EXPECT_TRUE(node.m_children.empty()) << "a full last page is followed by an empty one";
    EXPECT_EQ(u"0 Log Items", LastDescription());

    scripted.Enqueue({.body = Page(50)});
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_PREVIOUS_LOGS));
    EXPECT_EQ(Target("?Object=Log&Operation=Get&FromDate=12/1/2026&ToDate=12/8/2026&DisplaySet=0"),
              LastTarget());
    EXPECT_EQ(0, node.m_nPageNumber);
    EXPECT_EQ(50u, node.m_children.size());
}

TEST_F(LogNodeTest, AFailedPageKeepsTheViewAndTheNumbersOfWhatIsShown)
{
    CLogNode node;
    ASSERT_NO_FATAL_FAILURE(ShowSecondPage(node));

    scripted.Enqueue({.body = "Error: injected"});
    const size_t inserted = mmc->resultInserts.size();
    EXPECT_TRUE(FAILED(Run(node, CLogNode::ID_NEXT_LOGS)));
    EXPECT_EQ(1, node.m_nPageNumber);
    EXPECT_EQ(50u, node.m_children.size());
    EXPECT_EQ(inserted, mmc->resultInserts.size());
    EXPECT_EQ(u"PLANT\\user50", Column(Child(node, 0), 1));

    // A short last page counts on from the full pages before it.
    scripted.Enqueue({.body = Page(10, 100)});
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_PREVIOUS_LOGS));
    EXPECT_EQ(u"1 - 10 Log Items", LastDescription());
    scripted.Enqueue({.body = Page(1)});
    ASSERT_EQ(S_OK, node.OnRefresh(mmc.get()));
    EXPECT_EQ(u"1 Log Item", LastDescription());
}

TEST_F(LogNodeTest, ShortLastPageShowsItsOwnPositions)
{
    CLogNode node;
    ASSERT_NO_FATAL_FAILURE(ShowSecondPage(node));
    EXPECT_EQ(u"51 - 100 Log Items", LastDescription());
    scripted.Enqueue({.body = Page(10, 100)});
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_NEXT_LOGS));
    EXPECT_EQ(u"101 - 110 Log Items", LastDescription());
    scripted.Enqueue({.body = Page(1, 50)});
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_PREVIOUS_LOGS));
    EXPECT_EQ(u"51 - 51 Log Items", LastDescription()) << "a lone row past the first page";
}

TEST_F(LogNodeTest, DeleteAllOfARangeKeepsTheEntriesWhenTheServerRefuses)
{
    CLogNode node;
    node.m_scopeDataItem.ID = 0x42;
    filter.choice = Range("12/5/2026", "12/6/2026");
    scripted.Enqueue({.body = Page(3)});
    ASSERT_EQ(S_OK, FirstShow(node));

    ui.answers = {ui::IDNO};
    ASSERT_EQ(S_OK, node.OnDelete(mmc.get()));
    EXPECT_EQ(1u, scripted.RequestCount());
    ASSERT_EQ(1u, ui.boxes.size());
    EXPECT_EQ("Are you sure you want to delete all logs from 12/5/2026  To 12/6/2026", ui.boxes[0].text);
    EXPECT_EQ("ZYR Security Manager", ui.boxes[0].caption);
    EXPECT_EQ(ui::MB_YESNO | ui::MB_ICONWARNING, ui.boxes[0].style);
    EXPECT_EQ(nullptr, ui.boxes[0].owner);

    ui.answers = {ui::IDYES};
    scripted.Enqueue({.body = "Error: injected"});
    ASSERT_EQ(S_OK, node.OnDelete(mmc.get()));
    EXPECT_EQ(Target("?Object=Log&Operation=Del&FromDate=12/5/2026&ToDate=12/6/2026&User=PLANT%5Cop%20one"),
              LastTarget());
    EXPECT_EQ(3u, node.m_children.size());
    EXPECT_EQ(0, mmc->CountOf("DeleteAllRsltItems"));
    ASSERT_EQ(3u, ui.boxes.size());
    EXPECT_EQ(LoadStringAnsi(IDS_LOGS_NOT_DELETED), ui.boxes[2].text);
    EXPECT_EQ(ui::MB_OK | ui::MB_ICONERROR, ui.boxes[2].style);

    ui.answers = {ui::IDYES};
    scripted.Enqueue({.body = "OK"});
    ASSERT_EQ(S_OK, node.OnDelete(mmc.get()));
    EXPECT_TRUE(node.m_children.empty());
    EXPECT_EQ(1, mmc->CountOf("DeleteAllRsltItems"));
    EXPECT_EQ(0x42, mmc->selected.back());
    EXPECT_EQ(u"0 Log Items", LastDescription());
    EXPECT_EQ(4u, ui.boxes.size()) << "a deletion the server took shows nothing more";
}

TEST_F(LogNodeTest, DeleteAllOfAnUnfilteredContainerAsksAboutAllLogs)
{
    CLogNode node;
    filter.choice = {};
    scripted.Enqueue({.body = Page(2)});
    ASSERT_EQ(S_OK, FirstShow(node));
    scripted.Enqueue({.body = "OK"});
    ASSERT_EQ(S_OK, node.OnDelete(mmc.get()));
    ASSERT_EQ(1u, ui.boxes.size());
    EXPECT_EQ("Are you sure you want to delete all logs.", ui.boxes[0].text);
    EXPECT_EQ(Target("?Object=Log&Operation=Del&User=PLANT%5Cop%20one"), LastTarget());
    EXPECT_TRUE(node.m_children.empty());
}

TEST_F(LogNodeTest, SingleDeleteSendsTheOperatorAndKeepsARefusedEntry)
{
    CLogNode node;
    filter.choice = Range("12/5/2026", "12/6/2026");
    scripted.Enqueue({.body = Page(3)});
    ASSERT_EQ(S_OK, FirstShow(node));
    CLogInstanceNode* entry = Child(node, 0);

    ui.answers = {ui::IDNO};
    ASSERT_EQ(S_OK, entry->OnDelete(mmc.get()));
    EXPECT_EQ(1u, scripted.RequestCount());
    EXPECT_EQ("Are you sure you want to delete the Log.", ui.boxes.back().text);

    ui.answers = {ui::IDYES};
    scripted.Enqueue({.body = "Error: injected"});
    ASSERT_EQ(S_OK, entry->OnDelete(mmc.get()));
    EXPECT_EQ(
        Target("?Object=Log&Operation=Del&Date=12/5/2026%2013:4:0&User=PLANT%5Cop%20one&Computer=BUILD-07"),
        LastTarget());
    EXPECT_EQ(3u, node.m_children.size());
    EXPECT_EQ(3u, node.LogList().Entries().size());
    EXPECT_EQ(u"PLANT\\user0", Column(entry, 1)) << "the entry shows its own account again";
    EXPECT_EQ(LoadStringAnsi(IDS_LOG_NOT_DELETED), ui.boxes.back().text);
    EXPECT_EQ(ui::MB_OK | ui::MB_ICONERROR, ui.boxes.back().style);
    EXPECT_EQ(0, mmc->CountOf("DeleteItem(result)"));

    ui.answers = {ui::IDYES};
    scripted.Enqueue({.body = "OK"});
    const size_t boxes = ui.boxes.size();
    ASSERT_EQ(S_OK, entry->OnDelete(mmc.get()));
    EXPECT_EQ(boxes + 1, ui.boxes.size());
    EXPECT_EQ(2u, node.m_children.size());
    EXPECT_EQ(2u, node.LogList().Entries().size());
    EXPECT_EQ(nullptr, entry->Entry());
    EXPECT_EQ(u"", Column(entry, 0));
    EXPECT_EQ(1, mmc->CountOf("DeleteItem(result)"));
    EXPECT_EQ(u"2 Log Items", LastDescription());
}

TEST_F(LogNodeTest, ExportWritesTheEntriesShownAsQuotedCsv)
{
    CLogNode node;
    filter.choice = {};
    scripted.Enqueue(
        {.body = Document("<KVTLOGS>"
                          "<LOG><D>Dec 5, 2026 13:04</D><U>PLANT\\a,b</U><A>say \"hi\"</A><S>OK</S></LOG>"
                          "<LOG><D>2026-12-05 13:05:00</D><U>two\nlines</U><A>Logon</A><S>Failed</S></LOG>"
                          "<LOGCOUNT>2</LOGCOUNT></KVTLOGS>")});
    ASSERT_EQ(S_OK, FirstShow(node));

    auto menu = com::ComPtr<ScriptedMenu>::Attach(new ScriptedMenu);
    long allowed = CCM_INSERTIONALLOWED_TOP | CCM_INSERTIONALLOWED_NEW | CCM_INSERTIONALLOWED_TASK;
    ASSERT_EQ(S_OK, node.AddMenuItems(menu.get(), &allowed, CCT_SCOPE));
    ASSERT_EQ(1u, menu->items.size());
    EXPECT_EQ(u"Export List...", menu->items[0].name);
    EXPECT_EQ(CLogNode::ID_EXPORT_LIST, menu->items[0].commandId);

    // Cancelled: nothing written, nothing said.
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_EXPORT_LIST));
    ASSERT_EQ(1u, ui.saveDialogs.size());
    EXPECT_EQ("csv", ui.saveDialogs[0].defaultExt);
    EXPECT_TRUE(mmc->boxes.empty());

    const std::string path = (tempDir / "logs.csv").string();
    ui.savePaths = {path};
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_EXPORT_LIST));
    std::ifstream file(path, std::ios::binary);
    std::stringstream written;
    written << file.rdbuf();
    EXPECT_EQ("Date/Time,User,Action,Status\r\n"
              "\"Dec 5, 2026 13:04\",\"PLANT\\a,b\",\"say \"\"hi\"\"\",OK\r\n"
              "2026-12-05 13:05:00,\"two\nlines\",Logon,Failed\r\n",
              written.str());
    ASSERT_EQ(1u, mmc->boxes.size());
    EXPECT_EQ(u"Data successfully exported", mmc->boxes[0].text);

    // A file that cannot be written is reported.
    ui.savePaths = {tempDir.string()};
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_EXPORT_LIST));
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(LoadStringAnsi(IDS_LOG_EXPORT_FAILED), ui.boxes.back().text);
    EXPECT_EQ(1u, mmc->boxes.size());
}

TEST_F(LogNodeTest, TheRootMakesTheLogsContainerLast)
{
    CRootNode root;
    ASSERT_TRUE(root.InitChildren(nullptr));
    ASSERT_FALSE(root.m_children.empty());
    auto* logs = dynamic_cast<CLogNode*>(root.m_children.back());
    ASSERT_NE(nullptr, logs);
    EXPECT_EQ(2, logs->m_scopeDataItem.nImage);
    // The other containers may fetch their lists; the log waits until its
    // container is first shown.
    for (const auto& request : scripted.Requests()) {
        EXPECT_EQ(std::string::npos, request.target.find("Object=Log")) << request.target;
    }
}

TEST_F(LogNodeTest, TheViewRoutesNotificationsAndToolbarClicksToTheContainer)
{
    struct SignsIn : console::StartupHooks {
        bool SignIn(HWND) override { return true; }
    } signsIn;
    console::SetStartupHooks(&signsIn);
    auto snapin = com::ComPtr<CKVTSnapin>::Attach(new CKVTSnapin);
    ASSERT_EQ(S_OK, snapin->Initialize(static_cast<IConsole*>(mmc.get())));
    auto* logs = dynamic_cast<CLogNode*>(snapin->RootNode()->m_children.back());
    ASSERT_NE(nullptr, logs);
    com::ComPtr<IComponent> component;
    ASSERT_EQ(S_OK, snapin->CreateComponent(component.Put()));
    ASSERT_EQ(S_OK, component->Initialize(mmc.get()));
    com::ComPtr<IDataObject> data;
    ASSERT_EQ(S_OK, logs->GetDataObject(data.Put(), CCT_SCOPE));

    filter.choice = {};
    scripted.Enqueue({.body = Page(50)});
    ASSERT_EQ(S_OK, component->Notify(data.get(), MMCN_SHOW, 1, 0));
    ASSERT_EQ(4u, mmc->columns.size());
    EXPECT_EQ(u"Date/Time", mmc->columns[0].title);
    EXPECT_EQ(u"Status", mmc->columns[3].title);
    EXPECT_EQ(150, mmc->columns[3].width);
    EXPECT_EQ(50u, mmc->resultInserts.size());

    ASSERT_EQ(S_OK, component->Notify(data.get(), MMCN_SELECT, 0x10001, 0));
    ASSERT_EQ(2u, mmc->verbs.size());
    EXPECT_EQ(MMC_VERB_REFRESH, mmc->verbs[0].verb);
    EXPECT_EQ(MMC_VERB_DELETE, mmc->verbs[1].verb);
    EXPECT_EQ(u"1 - 50 Log Items", LastDescription());

    auto bar = com::ComPtr<ScriptedControlbar>::Attach(new ScriptedControlbar);
    auto extend = component.As<IExtendControlbar>();
    ASSERT_TRUE(extend);
    ASSERT_EQ(S_OK, extend->SetControlbar(bar.get()));
    ASSERT_EQ(S_OK, extend->ControlbarNotify(MMCN_SELECT, 0x10001, reinterpret_cast<LPARAM>(data.get())));
    ASSERT_EQ(1u, bar->attached.size());
    scripted.Enqueue({.body = Page(7, 50)});
    ASSERT_EQ(S_OK, extend->ControlbarNotify(MMCN_BTN_CLICK, reinterpret_cast<LPARAM>(data.get()),
                                             CLogNode::ID_NEXT_LOGS));
    EXPECT_EQ(Target("?Object=Log&Operation=Get&FromDate=&ToDate=&DisplaySet=1"), LastTarget());
    EXPECT_EQ(1, logs->m_nPageNumber);
    EXPECT_EQ(7u, logs->m_children.size());

    scripted.Enqueue({.body = Page(3)});
    ASSERT_EQ(S_OK, component->Notify(data.get(), MMCN_REFRESH, 0, 0));
    EXPECT_EQ(0, logs->m_nPageNumber);
    EXPECT_EQ(3u, logs->m_children.size());
    extend->SetControlbar(nullptr);
    component->Destroy(0);
    snapin->Destroy();
    console::ResetStartupState();
}

TEST_F(LogNodeTest, AgainstTheReferenceServer)
{
    ZYR_USE_REFERENCE_SERVER();
    CLogNode node;
    filter.choice = {};
    ASSERT_EQ(S_OK, FirstShow(node));
    ASSERT_EQ(50u, node.m_children.size());
    ASSERT_EQ(S_OK, Run(node, CLogNode::ID_NEXT_LOGS));
    ASSERT_EQ(50u, node.m_children.size());
    EXPECT_EQ(u"51 - 100 Log Items", LastDescription());

    // The newest entry of page 0 goes; page 0 then starts with the next.
    ASSERT_EQ(S_OK, node.OnRefresh(mmc.get()));
    const std::u16string first = Column(Child(node, 0), 0);
    const std::u16string second = Column(Child(node, 1), 0);
    ASSERT_NE(first, second) << "the seeded entries have distinct times";
    ui.answers = {ui::IDYES};
    ASSERT_EQ(S_OK, Child(node, 0)->OnDelete(mmc.get()));
    EXPECT_EQ(49u, node.m_children.size());
    ASSERT_EQ(S_OK, node.OnRefresh(mmc.get()));
    EXPECT_EQ(second, Column(Child(node, 0), 0));

    // A refused deletion leaves the entry where it was.
    ASSERT_EQ("OK", PostSecurityRequest(reference.RequestUrl() + "?Object=Test&Operation=Fault",
                                        "Kind=ErrorReply&Object=Log&Operation=Del&Count=1"));
    ui.answers = {ui::IDYES};
    ASSERT_EQ(S_OK, Child(node, 0)->OnDelete(mmc.get()));
    EXPECT_EQ(50u, node.m_children.size());
    EXPECT_EQ(LoadStringAnsi(IDS_LOG_NOT_DELETED), ui.boxes.back().text);
    ASSERT_EQ(S_OK, node.OnRefresh(mmc.get()));
    EXPECT_EQ(second, Column(Child(node, 0), 0));
}

} // namespace
} // namespace zyr::testing
