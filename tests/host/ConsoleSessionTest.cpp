// The console session against the test snap-in: what the snap-in is told and
// in which order, and what the console keeps of its answers.
#include "host/ConsoleSession.h"
#include "host/ConsoleObjects.h"
#include "platform/ui/UiService.h"
#include "tests/host/HostFixture.h"

#include <gtest/gtest.h>

namespace zyr::host {
namespace {

using zyr::testing::ClearSnapinLog;
using zyr::testing::SnapinLog;

class ConsoleSessionTest : public zyr::testing::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        ASSERT_EQ(session_.Start(CLSID_TestSnapin), S_OK);
        alpha_ = session_.FindByPath(u"Test Root/Alpha");
        beta_ = session_.FindByPath(u"Test Root/Beta");
        ASSERT_NE(alpha_, 0);
        ASSERT_NE(beta_, 0);
        ClearSnapinLog();
    }

    const ResultRow* RowNamed(const std::u16string& name)
    {
        for (const ResultRow& row : session_.Rows()) {
            if (!row.texts.empty() && row.texts[0] == name) {
                return &row;
            }
        }
        return nullptr;
    }

    std::vector<std::u16string> RowNames()
    {
        std::vector<std::u16string> names;
        for (const ResultRow& row : session_.Rows()) {
            names.push_back(row.texts.empty() ? u"" : row.texts[0]);
        }
        return names;
    }

    // Position of line in the log; npos when absent.
    static size_t At(const std::string& log, const std::string& line)
    {
        return ("\n" + log).find("\n" + line + "\n");
    }

    ConsoleSession session_;
    HSCOPEITEM alpha_ = 0;
    HSCOPEITEM beta_ = 0;
};

TEST_F(ConsoleSessionTest, RootComesFromTheSnapinAndChildrenArriveOnExpand)
{
    EXPECT_EQ(session_.ItemName(session_.Root()), u"Test Root");
    const ScopeItem* root = session_.Item(session_.Root());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->children, (std::vector<HSCOPEITEM>{alpha_, beta_}));
    EXPECT_EQ(session_.Item(alpha_)->parent, session_.Root());
    EXPECT_EQ(session_.FindByPath(u"Test Root/Nothing"), 0);
    EXPECT_EQ(session_.FindByPath(u"Other Root"), 0);
    // A second expand of the same item asks nothing.
    EXPECT_EQ(session_.Expand(session_.Root()), S_OK);
    EXPECT_EQ(SnapinLog().find("EXPAND"), std::string::npos);
}

TEST_F(ConsoleSessionTest, TheRootShowsTheFolderImagesOfTheAboutObject)
{
    // Without an about object the snap-in answers for the root's images.
    EXPECT_TRUE(session_.Item(session_.Root())->imageCallback);

    const std::string about = zyr::com::GuidToString(CLSID_TestSnapinAbout);
    zyr::testing::TempRegistry::SetText(HKEY_LOCAL_MACHINE, zyr::testing::kSnapinKey.c_str(), "About", about);
    zyr::testing::TempRegistry::SetText(HKEY_CLASSES_ROOT, ("CLSID\\" + about + "\\InprocServer32").c_str(),
                                        "", ZYR_TEST_SNAPIN_PATH);
    ConsoleSession session;
    ASSERT_EQ(session.Start(CLSID_TestSnapin), S_OK);
    EXPECT_FALSE(session.Item(session.Root())->imageCallback);
    int position = -1;
    EXPECT_NE(session.ScopeImages().Find(session.ItemImage(session.Root(), false), position), nullptr);
    EXPECT_EQ(position, 0);
    // The folder images do not take the indexes of the snap-in's own strip.
    EXPECT_GT(session.ItemImage(session.Root(), true), 3);
}

TEST_F(ConsoleSessionTest, ShowingAContainerFillsThePaneAndSetsItsVerbs)
{
    ASSERT_EQ(session_.SelectScope(alpha_), S_OK);
    std::string log = SnapinLog();
    // Images, then the pane, then the selection.
    size_t images = At(log, "ADD_IMAGES Alpha");
    size_t show = At(log, "SHOW 1 Alpha");
    size_t select = At(log, "SELECT 1 scope Alpha");
    ASSERT_NE(images, std::string::npos);
    ASSERT_NE(show, std::string::npos);
    ASSERT_NE(select, std::string::npos);
    EXPECT_LT(images, show);
    EXPECT_LT(show, select);

    ASSERT_EQ(session_.Columns().size(), 2u);
    EXPECT_EQ(session_.Columns()[0].title, u"Name");
    EXPECT_EQ(session_.Columns()[1].width, 300);
    ASSERT_EQ(session_.Rows().size(), 2u);
    EXPECT_EQ(session_.Rows()[0].texts, (std::vector<std::u16string>{u"Leaf One", u"The first leaf"}));
    EXPECT_EQ(session_.Rows()[1].image, 2);
    EXPECT_EQ(session_.Description(), u"2 leaves");
    EXPECT_TRUE(session_.VerbEnabled(MMC_VERB_PROPERTIES));
    EXPECT_TRUE(session_.VerbEnabled(MMC_VERB_REFRESH));
    EXPECT_FALSE(session_.VerbEnabled(MMC_VERB_DELETE));
    EXPECT_TRUE(session_.HtmlView().empty());

    // Moving on hides the pane first and leaves nothing of it behind.
    ClearSnapinLog();
    ASSERT_EQ(session_.SelectScope(beta_), S_OK);
    log = SnapinLog();
    ASSERT_NE(At(log, "SHOW 1 Beta"), std::string::npos);
    EXPECT_LT(At(log, "SELECT 0 scope Alpha"), At(log, "SHOW 0 Alpha"));
    EXPECT_LT(At(log, "SHOW 0 Alpha"), At(log, "SHOW 1 Beta"));
    EXPECT_TRUE(session_.Rows().empty());
    EXPECT_EQ(session_.Description(), u"0 leaves");
    EXPECT_TRUE(session_.VerbEnabled(MMC_VERB_DELETE));
}

TEST_F(ConsoleSessionTest, RootListsItsScopeChildrenAndNamesItsHtmlPage)
{
    ASSERT_EQ(session_.SelectScope(session_.Root()), S_OK);
    EXPECT_EQ(RowNames(), (std::vector<std::u16string>{u"Alpha", u"Beta"}));
    EXPECT_TRUE(session_.Rows()[0].scopeItem);
    EXPECT_EQ(session_.Rows()[0].scopeId, alpha_);
    // "WELCOME.HTML" is found as welcome.html beside the module.
    EXPECT_NE(session_.HtmlView().find("welcome.html"), std::string::npos);
    EXPECT_FALSE(session_.ListViewAllowed());
    EXPECT_FALSE(session_.VerbEnabled(MMC_VERB_PROPERTIES));
}

TEST_F(ConsoleSessionTest, DeletingTheSelectedResultItemReturnsTheFocusToTheContainer)
{
    session_.SelectScope(alpha_);
    const ResultRow* leaf = RowNamed(u"Leaf One");
    ASSERT_NE(leaf, nullptr);
    ASSERT_EQ(session_.SelectResult(leaf->id), S_OK);
    EXPECT_NE(At(SnapinLog(), "SELECT 1 result Leaf One"), std::string::npos);
    EXPECT_TRUE(session_.VerbEnabled(MMC_VERB_DELETE));

    ClearSnapinLog();
    ASSERT_EQ(session_.DeleteFocus(), S_OK);
    std::string log = SnapinLog();
    EXPECT_NE(At(log, "DELETE Leaf One"), std::string::npos);
    EXPECT_NE(At(log, "SELECT 1 scope Alpha"), std::string::npos);
    EXPECT_EQ(RowNames(), (std::vector<std::u16string>{u"Leaf Two"}));
    EXPECT_TRUE(session_.Focus().InScopePane());
    EXPECT_EQ(session_.Focus().scopeId, alpha_);
    EXPECT_FALSE(session_.VerbEnabled(MMC_VERB_DELETE));
    EXPECT_EQ(session_.Description(), u"1 leaves");
}

TEST_F(ConsoleSessionTest, DeletingTheShownScopeItemShowsItsParent)
{
    session_.SelectScope(beta_);
    ASSERT_EQ(session_.DeleteFocus(), S_OK);
    EXPECT_EQ(session_.Item(beta_), nullptr);
    EXPECT_EQ(session_.ShownScope(), session_.Root());
    EXPECT_EQ(RowNames(), (std::vector<std::u16string>{u"Alpha"}));
    // The deleted item was never told to hide after it was gone.
    EXPECT_EQ(At(SnapinLog(), "SHOW 0 Beta"), std::string::npos);
}

TEST_F(ConsoleSessionTest, VerbsTheSnapinDidNotEnableDoNothing)
{
    session_.SelectScope(alpha_);
    EXPECT_EQ(session_.DeleteFocus(), S_FALSE);
    session_.SelectScope(session_.Root());
    EXPECT_EQ(session_.RefreshFocus(), S_FALSE);
    std::string log = SnapinLog();
    EXPECT_EQ(log.find("DELETE"), std::string::npos);
    EXPECT_EQ(log.find("REFRESH"), std::string::npos);

    session_.SelectScope(alpha_);
    EXPECT_EQ(session_.RefreshFocus(), S_OK);
    // The snap-in tells the views through the console.
    size_t change = At(SnapinLog(), "VIEW_CHANGE Alpha 7 9");
    ASSERT_NE(change, std::string::npos);
    EXPECT_LT(At(SnapinLog(), "REFRESH Alpha"), change);
}

TEST_F(ConsoleSessionTest, MenusOfferOnlyTheAllowedInsertionPointsAndCommandsReachTheSnapin)
{
    session_.SelectScope(alpha_);
    std::vector<MenuEntry> entries;
    ASSERT_EQ(
        session_.BuildMenu(session_.Focus(), CCM_INSERTIONALLOWED_NEW | CCM_INSERTIONALLOWED_TASK, entries),
        S_OK);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, u"Leaf");
    EXPECT_EQ(entries[0].statusText, u"Adds a leaf");
    EXPECT_EQ(entries[0].insertionPoint, CCM_INSERTIONPOINTID_PRIMARY_NEW);
    EXPECT_EQ(entries[1].insertionPoint, CCM_INSERTIONPOINTID_PRIMARY_TASK);
    ASSERT_EQ(session_.BuildMenu(session_.Focus(), CCM_INSERTIONALLOWED_TASK, entries), S_OK);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, u"Count Leaves");

    ASSERT_EQ(session_.Command(session_.Focus(), kCommandNewLeaf), S_OK);
    EXPECT_EQ(RowNames(), (std::vector<std::u16string>{u"Leaf One", u"Leaf Two", u"Leaf 3"}));
    EXPECT_EQ(session_.Description(), u"3 leaves");
    ASSERT_NE(session_.Row(session_.Focus().resultId), nullptr);
    EXPECT_EQ(session_.Row(session_.Focus().resultId)->texts[0], u"Leaf 3") << "the new leaf is selected";

    // Added from the tree while another item is shown: the container is
    // shown with the new leaf in it, selected.
    session_.SelectScope(beta_);
    ASSERT_EQ(session_.Command(session_.ScopeTarget(alpha_), kCommandNewLeaf), S_OK);
    EXPECT_EQ(session_.ShownScope(), alpha_);
    ASSERT_EQ(RowNames().size(), 4u);
    ASSERT_NE(session_.Row(session_.Focus().resultId), nullptr);
    EXPECT_EQ(session_.Row(session_.Focus().resultId)->texts[0], u"Leaf 4");

    // The snap-in's message box goes through the UI service.
    session_.SelectResult(0);
    zyr::ui::ScopedRecordingUi ui;
    ASSERT_EQ(session_.Command(session_.Focus(), kCommandCountLeaves), S_OK);
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, "4 leaves");
    EXPECT_EQ(ui.recorder.boxes[0].caption, "Test Snap-in");
    EXPECT_EQ(ui.recorder.boxes[0].style, zyr::ui::MB_ICONINFORMATION);
}

TEST_F(ConsoleSessionTest, ASelectionAskedForDuringACommandHappensAfterIt)
{
    session_.SelectScope(session_.Root());
    ASSERT_EQ(session_.Command(session_.Focus(), kCommandSelectBeta), S_OK);
    EXPECT_EQ(session_.ShownScope(), beta_);
    std::string log = SnapinLog();
    EXPECT_LT(At(log, "COMMAND 3 Test Root"), At(log, "SHOW 1 Beta"));
}

TEST_F(ConsoleSessionTest, PropertySheetsGetThePagesAndTheirChangesReachTheView)
{
    session_.SelectScope(alpha_);
    session_.SelectResult(RowNamed(u"Leaf One")->id);
    SheetRequest sheet;
    ASSERT_EQ(session_.QueryProperties(session_.Focus(), sheet), S_OK);
    ASSERT_EQ(sheet.pages.size(), 2u);
    EXPECT_EQ(sheet.title, u"Leaf One Properties");
    EXPECT_EQ(sheet.pages[0]->Title(), u"General");

    EXPECT_EQ(session_.PropertyChanged(sheet.notifyHandle, session_.Focus().cookie), S_OK);
    EXPECT_NE(At(SnapinLog(), "PROPERTY_CHANGE Leaf One result"), std::string::npos);
    LONG_PTR handle = sheet.notifyHandle;
    session_.EndSheet(sheet);
    EXPECT_TRUE(sheet.pages.empty());
    // A handle whose sheet has closed reaches no one.
    EXPECT_EQ(session_.PropertyChanged(handle, 0), E_INVALIDARG);

    SheetRequest none;
    EXPECT_EQ(session_.QueryProperties(session_.ScopeTarget(session_.Root()), none), S_FALSE);
    EXPECT_TRUE(none.pages.empty());
}

TEST_F(ConsoleSessionTest, TheSnapinToolbarFollowsTheSelectionAndItsButtonsReachTheSnapin)
{
    ASSERT_EQ(session_.Toolbars().size(), 1u);
    const ToolbarModel& toolbar = *session_.Toolbars()[0];
    ASSERT_EQ(toolbar.buttons.size(), 1u);
    EXPECT_EQ(toolbar.buttons[0].text, u"New Leaf");
    EXPECT_EQ(toolbar.buttons[0].tooltip, u"Adds a leaf");
    int position = -1;
    EXPECT_NE(toolbar.images.Find(toolbar.buttons[0].image, position), nullptr);

    session_.SelectScope(alpha_);
    EXPECT_TRUE(toolbar.attached);
    ASSERT_EQ(session_.ClickButton(toolbar, kCommandNewLeaf), S_OK);
    EXPECT_NE(At(SnapinLog(), "BTN_CLICK 1"), std::string::npos);
    EXPECT_EQ(session_.Rows().size(), 3u);

    session_.SelectScope(session_.Root());
    EXPECT_FALSE(toolbar.attached);
}

TEST_F(ConsoleSessionTest, TheNameSpaceWalksAndPlacesItemsAsAsked)
{
    auto console = zyr::com::ComPtr<ConsoleObject>::Attach(new ConsoleObject(&session_));
    IConsoleNameSpace* names = console.get();
    HSCOPEITEM item = 0;
    MMC_COOKIE cookie = 0;
    ASSERT_EQ(names->GetChildItem(session_.Root(), &item, &cookie), S_OK);
    EXPECT_EQ(item, alpha_);
    ASSERT_EQ(names->GetNextItem(alpha_, &item, &cookie), S_OK);
    EXPECT_EQ(item, beta_);
    EXPECT_EQ(names->GetNextItem(beta_, &item, &cookie), S_FALSE);
    ASSERT_EQ(names->GetParentItem(beta_, &item, &cookie), S_OK);
    EXPECT_EQ(item, session_.Root());
    EXPECT_EQ(cookie, 0);

    // Placed first, after a sibling, and at the end.
    auto insert = [&](DWORD placement, HSCOPEITEM relative, const char16_t* name, HRESULT* hr = nullptr) {
        SCOPEDATAITEM added;
        added.mask = SDI_STR | placement;
        added.displayname = const_cast<LPOLESTR>(name);
        added.relativeID = relative;
        HRESULT result = names->InsertItem(&added);
        if (hr != nullptr) {
            *hr = result;
        }
        return added.ID;
    };
    HSCOPEITEM first = insert(SDI_FIRST, session_.Root(), u"First");
    HSCOPEITEM middle = insert(SDI_NEXT, alpha_, u"Middle");
    HSCOPEITEM last = insert(SDI_PARENT, session_.Root(), u"Last");
    EXPECT_EQ(session_.Item(session_.Root())->children,
              (std::vector<HSCOPEITEM>{first, alpha_, middle, beta_, last}));
    EXPECT_EQ(session_.ItemName(middle), u"Middle");
    HRESULT hr = S_OK;
    EXPECT_EQ(insert(SDI_NEXT, session_.Root(), u"Beside the root", &hr), 0);
    EXPECT_EQ(hr, E_INVALIDARG);

    EXPECT_EQ(names->DeleteItem(session_.Root(), 1), E_INVALIDARG);
    EXPECT_EQ(names->DeleteItem(session_.Root(), 0), S_OK);
    EXPECT_TRUE(session_.Item(session_.Root())->children.empty());
    EXPECT_EQ(session_.Item(alpha_), nullptr);

    console->Detach();
    EXPECT_EQ(names->GetChildItem(session_.Root(), &item, &cookie), E_INVALIDARG);
    EXPECT_EQ(console->SetDescBarText(nullptr), E_UNEXPECTED);
}

TEST_F(ConsoleSessionTest, StoppingReleasesTheToolbarsAndDestroysViewAndSnapin)
{
    session_.Stop();
    std::string log = SnapinLog();
    size_t controlbar = At(log, "CONTROLBAR released");
    size_t view = At(log, "VIEW DESTROY");
    size_t snapin = At(log, "DESTROY");
    ASSERT_NE(controlbar, std::string::npos);
    ASSERT_NE(snapin, std::string::npos);
    EXPECT_LT(controlbar, view);
    EXPECT_LT(view, snapin);
    EXPECT_FALSE(session_.Started());
    EXPECT_EQ(session_.Item(alpha_), nullptr);
}

} // namespace
} // namespace zyr::host
