#include "console/KVTSnapinComponent.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/SnapinIds.h"
#include "console/root/RootNode.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/console/TestNodes.h"

#include <cstring>

using namespace zyr::testing;
using zyr::com::ComPtr;

namespace {

class NodeFrameworkTest : public ConsoleFixture {
protected:
    // A view's snap-in object with the scripted console, for commands.
    struct View : CSnapInObjectRootBase {
        explicit View(IConsole* c, int kind = kComponent) : CSnapInObjectRootBase(kind), console(c) {}
        IConsole* ObjectConsole() const override { return console; }
        IConsole* console;
    };

    TestContainerNode container;
};

TEST_F(NodeFrameworkTest, EmptyContainerListsNothing)
{
    EXPECT_EQ(E_NOTIMPL, container.OnShow(MMCN_SHOW, 1, 0, scripted.get(), CCT_SCOPE));
    EXPECT_EQ(E_NOTIMPL, container.OnExpand(MMCN_EXPAND, 1, 0x42, scripted.get(), CCT_SCOPE));
    EXPECT_TRUE(scripted->calls.empty());
}

TEST_F(NodeFrameworkTest, ShowAndExpandListChildrenInOrder)
{
    auto* first = new TestLeafNode(3);
    auto* second = new TestLeafNode(5);
    container.AppendChild(first);
    container.AppendChild(second);

    EXPECT_EQ(E_NOTIMPL, container.OnShow(MMCN_SHOW, 0, 0, scripted.get(), CCT_SCOPE));
    EXPECT_TRUE(scripted->resultInserts.empty());

    ASSERT_EQ(S_OK, container.OnShow(MMCN_SHOW, 1, 0, scripted.get(), CCT_SCOPE));
    ASSERT_EQ(2u, scripted->resultInserts.size());
    EXPECT_EQ(CSnapInItem::CookieOf(first), scripted->resultInserts[0].item.lParam);
    EXPECT_EQ(CSnapInItem::CookieOf(second), scripted->resultInserts[1].item.lParam);
    EXPECT_EQ(u"<callback>", scripted->resultInserts[0].text);
    EXPECT_EQ(5, scripted->resultInserts[1].item.nImage);
    EXPECT_NE(0, first->m_resultDataItem.itemID) << "the console's handle is kept in the node";

    ASSERT_EQ(S_OK, container.OnExpand(MMCN_EXPAND, 1, 0x42, scripted.get(), CCT_SCOPE));
    ASSERT_EQ(2u, scripted->scopeInserts.size());
    EXPECT_EQ(0x42, scripted->scopeInserts[0].item.relativeID);
    EXPECT_EQ(0x2E, static_cast<int>(scripted->scopeInserts[0].item.mask));
    EXPECT_EQ(first->m_scopeDataItem.ID, scripted->scopeInserts[0].item.ID);

    // Collapsing must not put the children into the tree a second time.
    EXPECT_EQ(S_OK, container.OnExpand(MMCN_EXPAND, 0, 0x42, scripted.get(), CCT_SCOPE));
    EXPECT_EQ(2u, scripted->scopeInserts.size());

    // The last insertion's result is the answer.
    scripted->insertResult = E_FAIL;
    EXPECT_EQ(E_FAIL, container.OnShow(MMCN_SHOW, 1, 0, scripted.get(), CCT_SCOPE));
}

TEST_F(NodeFrameworkTest, NotifyRoutesEachEventToTheHandlerTheNodeHas)
{
    auto view = ComPtr<CKVTSnapinComponent>::Attach(new CKVTSnapinComponent);
    ASSERT_EQ(S_OK, view->Initialize(scripted.get()));
    auto* leaf = new TestLeafNode;
    container.AppendChild(leaf);
    auto send = [&](CSnapInItem& node, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param = 0) {
        return node.Notify(event, arg, param, nullptr, view.get(), CCT_SCOPE);
    };

    ASSERT_EQ(S_OK, send(container, MMCN_EXPAND, 1, 0x42));
    EXPECT_EQ(0x42, container.m_scopeDataItem.ID) << "the node learns its scope item";
    EXPECT_EQ(1u, scripted->scopeInserts.size());
    EXPECT_EQ(S_OK, send(container, MMCN_SHOW, 1));
    EXPECT_EQ(2u, scripted->columns.size());
    EXPECT_TRUE(scripted->resultInserts.empty()) << "children in the tree are not listed again";
    EXPECT_EQ(E_NOTIMPL, send(container, MMCN_SHOW, 0));
    EXPECT_EQ(E_NOTIMPL, send(container, MMCN_DELETE, 0)) << "a node without the handler declines";
    EXPECT_EQ(E_NOTIMPL, send(*leaf, MMCN_ADD_IMAGES,
                              reinterpret_cast<LPARAM>(static_cast<IImageList*>(scripted.get()))));
    EXPECT_TRUE(scripted->strips.empty()) << "only containers load the image strip";
    view->Destroy(0);
}

TEST_F(NodeFrameworkTest, RemovedChildStaysValidForTheConsole)
{
    auto* leaf = new TestLeafNode;
    container.AppendChild(leaf);
    EXPECT_TRUE(container.RemoveChild(leaf));
    EXPECT_TRUE(container.m_children.empty());
    EXPECT_FALSE(container.RemoveChild(leaf));
    // The console may still ask for the removed node's texts.
    EXPECT_EQ(std::u16string(u"Test Leaf"), leaf->GetColumnText(0));
}

TEST_F(NodeFrameworkTest, DescriptionBarTakesSingularOnlyForOne)
{
    IConsole* c = scripted.get();
    EXPECT_EQ(S_OK, zyr::console::SetDescriptionBar(c, 0, "%d Application", "%d Applications"));
    EXPECT_EQ(S_OK, zyr::console::SetDescriptionBar(c, 1, "%d Application", "%d Applications"));
    EXPECT_EQ(S_OK, zyr::console::SetDescriptionBar(c, 2, "%d Application", "%d Applications"));
    zyr::console::SetDescriptionBarText(c, std::string(80, 'x'));
    ASSERT_EQ(4u, scripted->descriptionBar.size());
    EXPECT_EQ(u"0 Applications", scripted->descriptionBar[0]);
    EXPECT_EQ(u"1 Application", scripted->descriptionBar[1]);
    EXPECT_EQ(u"2 Applications", scripted->descriptionBar[2]);
    EXPECT_EQ(49u, scripted->descriptionBar[3].size());
}

TEST_F(NodeFrameworkTest, ColumnsAndVerbs)
{
    EXPECT_EQ(S_OK, zyr::console::InsertNameDescriptionColumns(scripted.get(), u"Secure Groups"));
    ASSERT_EQ(2u, scripted->columns.size());
    EXPECT_EQ(u"Secure Groups", scripted->columns[0].title);
    EXPECT_EQ(200, scripted->columns[0].width);
    EXPECT_EQ(u"Description", scripted->columns[1].title);
    EXPECT_EQ(350, scripted->columns[1].width);
    EXPECT_EQ(0, scripted->columns[1].format);

    EXPECT_EQ(S_OK, zyr::console::EnableVerbs(scripted.get(), {MMC_VERB_PROPERTIES, MMC_VERB_DELETE}));
    ASSERT_EQ(2u, scripted->verbs.size());
    EXPECT_EQ(MMC_VERB_DELETE, scripted->verbs[1].verb);
    EXPECT_EQ(ENABLED, scripted->verbs[1].state);
    EXPECT_EQ(1, scripted->verbs[1].value);
}

TEST_F(NodeFrameworkTest, ColumnTextAndDisplayInformation)
{
    CRootNode root;
    EXPECT_EQ(std::u16string(u"ZYR Security Manager"), root.GetColumnText(0));
    EXPECT_EQ(std::u16string(u"Generic Description"), root.GetColumnText(1));
    EXPECT_EQ(std::u16string(u"Generic Description"), root.GetColumnText(4));

    RESULTDATAITEM asScope;
    asScope.mask = RDI_STR | RDI_IMAGE | RDI_PARAM;
    asScope.bScopeItem = 1;
    ASSERT_EQ(S_OK, container.GetResultPaneInfo(&asScope));
    EXPECT_EQ(8, asScope.nImage) << "a scope item shows its scope image";
    EXPECT_EQ(std::u16string(u"Test Container"), asScope.str);

    TestLeafNode leaf(7);
    leaf.m_resultDataItem.nIndex = 3;
    RESULTDATAITEM asResult;
    asResult.mask = RDI_STR | RDI_IMAGE | RDI_PARAM | RDI_INDEX;
    asResult.nCol = 1;
    ASSERT_EQ(S_OK, leaf.GetResultPaneInfo(&asResult));
    EXPECT_EQ(7, asResult.nImage);
    EXPECT_EQ(3, asResult.nIndex);
    EXPECT_EQ(CSnapInItem::CookieOf(&leaf), asResult.lParam);
    EXPECT_EQ(std::u16string(u"Generic Description"), asResult.str);

    SCOPEDATAITEM scope;
    scope.mask = SDI_STR | SDI_IMAGE;
    ASSERT_EQ(S_OK, root.GetScopePaneInfo(&scope));
    EXPECT_EQ(std::u16string(u"ZYR Security Manager"), scope.displayname);
    EXPECT_EQ(-1, scope.nImage);
    EXPECT_EQ(0, scope.nOpenImage) << "members not asked for stay untouched";
}

TEST_F(NodeFrameworkTest, MenuWithoutPopupAtPositionTwoHasNoTaskItems)
{
    long allowed = CCM_INSERTIONALLOWED_TOP | CCM_INSERTIONALLOWED_NEW | CCM_INSERTIONALLOWED_TASK |
                   CCM_INSERTIONALLOWED_VIEW;
    auto menu = ComPtr<ScriptedMenu>::Attach(new ScriptedMenu);
    ASSERT_EQ(S_OK, container.AddMenuItems(menu.get(), &allowed, CCT_SCOPE));
    ASSERT_EQ(2u, menu->items.size());
    EXPECT_EQ(u"Who Has Access...", menu->items[0].name);
    menu->items.erase(menu->items.begin());
    EXPECT_EQ(u"Securable Object", menu->items[0].name);
    EXPECT_EQ(32779, menu->items[0].commandId);
    EXPECT_EQ(CCM_INSERTIONPOINTID_PRIMARY_NEW, menu->items[0].insertionPoint);
    EXPECT_EQ(u"", menu->items[0].status);
    EXPECT_EQ(0, menu->items[0].specialFlags);
}

TEST_F(NodeFrameworkTest, MenuItemsFollowPositionsAndAllowedInsertionPoints)
{
    long allowed = CCM_INSERTIONALLOWED_NEW | CCM_INSERTIONALLOWED_TASK;
    auto menu = ComPtr<ScriptedMenu>::Attach(new ScriptedMenu);
    ASSERT_EQ(S_OK, zyr::console::AddMenuItemsFromResource(104, menu.get(), &allowed));
    ASSERT_EQ(2u, menu->items.size());
    EXPECT_EQ(u"New Application", menu->items[0].name);
    EXPECT_EQ(CCM_INSERTIONPOINTID_PRIMARY_NEW, menu->items[0].insertionPoint);
    EXPECT_EQ(u"Import Application ...", menu->items[1].name);
    EXPECT_EQ(32785, menu->items[1].commandId);
    EXPECT_EQ(CCM_INSERTIONPOINTID_PRIMARY_TASK, menu->items[1].insertionPoint);
    EXPECT_EQ(u"Imports securable objects, groups and application data from a file. ", menu->items[1].status);

    // The roles menu has a top item; the console may forbid the top.
    menu->items.clear();
    allowed = CCM_INSERTIONALLOWED_NEW;
    ASSERT_EQ(S_OK, zyr::console::AddMenuItemsFromResource(110, menu.get(), &allowed));
    ASSERT_EQ(1u, menu->items.size());
    EXPECT_EQ(u"Role", menu->items[0].name);

    // No such menu: nothing, and no failure.
    menu->items.clear();
    EXPECT_EQ(S_OK, zyr::console::AddMenuItemsFromResource(999, menu.get(), &allowed));
    EXPECT_TRUE(menu->items.empty());
    TestLeafNode leaf;
    EXPECT_EQ(S_OK, leaf.AddMenuItems(menu.get(), &allowed, CCT_RESULT));
    EXPECT_TRUE(menu->items.empty());
}

TEST_F(NodeFrameworkTest, CommandsAndButtonClicksRunTheCommandTable)
{
    View view(scripted.get());
    EXPECT_EQ(S_OK, container.Command(32779, &view, CCT_SCOPE));
    EXPECT_EQ(1, container.newThings);
    EXPECT_EQ(&view, container.lastRoot);
    EXPECT_EQ(S_OK, container.Command(12345, &view, CCT_SCOPE)) << "unknown ids are ignored";
    EXPECT_EQ(S_OK, container.Command(32799, &view, CCT_SCOPE)) << "a declined command is not a failure";

    EXPECT_EQ(S_OK, container.ControlbarNotify(nullptr, nullptr, nullptr, MMCN_BTN_CLICK, 0, 32779, &view,
                                               CCT_SCOPE));
    EXPECT_EQ(2, container.newThings);
    EXPECT_EQ(E_UNEXPECTED,
              container.ControlbarNotify(nullptr, nullptr, nullptr, MMCN_REFRESH, 0, 0, &view, CCT_SCOPE));

    // A class without toolbars: nothing to create or attach.
    TestLeafNode leaf;
    EXPECT_EQ(S_OK, leaf.SetControlbar(nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK,
              leaf.ControlbarNotify(nullptr, nullptr, nullptr, MMCN_SELECT, 0x10001, 0, &view, CCT_SCOPE));
}

TEST_F(NodeFrameworkTest, ToolbarIsCreatedOnceAttachedOnSelectAndDetachedOnDeselect)
{
    auto bar = ComPtr<ScriptedControlbar>::Attach(new ScriptedControlbar);
    View view(scripted.get());
    view.m_spControlbar = ComPtr<IControlbar>::Share(bar.get());
    ASSERT_EQ(S_OK, container.SetControlbar(bar.get(), nullptr, &view.m_toolbarMap));
    ASSERT_EQ(S_OK, container.SetControlbar(bar.get(), nullptr, &view.m_toolbarMap));
    ASSERT_EQ(1u, bar->created.size());
    ScriptedToolbar* toolbar = bar->created[0];
    EXPECT_EQ(2, toolbar->bitmapImages);
    ASSERT_EQ(2u, toolbar->buttons.size());
    EXPECT_EQ(32799, toolbar->buttons[0].command);
    EXPECT_EQ(u"Previous Logs", toolbar->buttons[0].tooltip);
    EXPECT_EQ(u"Next Logs", toolbar->buttons[1].text);

    LPARAM select = 0x10001; // HIWORD: selected, LOWORD: scope
    ASSERT_EQ(S_OK, container.ControlbarNotify(bar.get(), nullptr, &view.m_toolbarMap, MMCN_SELECT, select, 0,
                                               &view, CCT_SCOPE));
    EXPECT_EQ(1u, bar->attached.size());
    ASSERT_EQ(2u, toolbar->states.size());
    EXPECT_EQ(ENABLED, toolbar->states[0].state);
    EXPECT_EQ(1, toolbar->states[1].value);

    ASSERT_EQ(S_OK, container.ControlbarNotify(bar.get(), nullptr, &view.m_toolbarMap, MMCN_SELECT, 0x1, 0,
                                               &view, CCT_SCOPE));
    EXPECT_TRUE(bar->attached.empty());

    view.ReleaseToolbars();
    EXPECT_TRUE(view.m_toolbarMap.empty());
}

TEST_F(NodeFrameworkTest, ConsoleOfTheIssuingObjectAndReports)
{
    TestLeafNode leaf;
    View componentData(scripted.get(), CSnapInObjectRootBase::kComponentData);
    View other(scripted.get(), 3);
    ComPtr<IConsole> found;
    ASSERT_EQ(S_OK, leaf.GetConsole(&componentData, found.Put()));
    EXPECT_EQ(static_cast<IConsole*>(scripted.get()), found.get());
    EXPECT_EQ(E_FAIL, leaf.GetConsole(&other, found.Put()));

    View view(scripted.get());
    EXPECT_EQ(S_OK, leaf.ReportImportSuccess(MMCN_SELECT, 0, &view));
    EXPECT_EQ(S_OK, leaf.ReportExportSuccess(MMCN_SELECT, 0, &view));
    ASSERT_EQ(2u, scripted->boxes.size());
    EXPECT_EQ(u"Data successfully imported", scripted->boxes[0].text);
    EXPECT_EQ(u"ZYR Security Manager", scripted->boxes[0].title);
    EXPECT_EQ(0x40u, scripted->boxes[0].style);
    EXPECT_EQ(u"Data successfully exported", scripted->boxes[1].text);
}

TEST_F(NodeFrameworkTest, AddImagesLoadsBothStripsWithTheTealMask)
{
    EXPECT_EQ(S_OK, container.OnAddImages(MMCN_ADD_IMAGES,
                                          reinterpret_cast<LPARAM>(static_cast<IImageList*>(scripted.get())),
                                          0, scripted.get(), CCT_SCOPE));
    ASSERT_EQ(1u, scripted->strips.size());
    EXPECT_EQ(0x00808000u, scripted->strips[0].mask);
    EXPECT_EQ(0, scripted->strips[0].start);
    EXPECT_EQ(16, scripted->strips[0].small->width);
    EXPECT_EQ(10, scripted->strips[0].small->count);
    EXPECT_EQ(32, scripted->strips[0].large->width);

    zyr::console::ResetResources();
    EXPECT_EQ(E_FAIL, container.OnAddImages(
                          MMCN_ADD_IMAGES, reinterpret_cast<LPARAM>(static_cast<IImageList*>(scripted.get())),
                          0, scripted.get(), CCT_SCOPE));
}

TEST_F(NodeFrameworkTest, RefusalWhenTheAuditTrailIsUnusableOrNotChecked)
{
    zyr::ui::ScopedRecordingUi ui;
    EXPECT_FALSE(zyr::console::RefuseChangeWhenAuditNotFunctional());
    EXPECT_TRUE(ui.recorder.boxes.empty());

    // A host without the module's start-up steps has no check: nothing changes.
    zyr::console::ResetAuditCheck();
    EXPECT_TRUE(zyr::console::RefuseChangeWhenAuditNotFunctional());
    ASSERT_EQ(1u, ui.recorder.boxes.size());
    EXPECT_EQ(zyr::console::kNoAuditCheckMessage, ui.recorder.boxes[0].text);
    ui.recorder.boxes.clear();

    zyr::console::SetAuditCheck([] { return true; });
    EXPECT_TRUE(zyr::console::RefuseChangeWhenAuditNotFunctional());
    ASSERT_EQ(1u, ui.recorder.boxes.size());
    EXPECT_EQ(nullptr, ui.recorder.boxes[0].owner);
    EXPECT_EQ("ZYR Security Manager", ui.recorder.boxes[0].caption);
    EXPECT_EQ(zyr::LoadStringAnsi(32834), ui.recorder.boxes[0].text);
    EXPECT_EQ(zyr::ui::MB_ICONERROR, ui.recorder.boxes[0].style);
}

} // namespace

namespace {

class CountedPage : public IPropertyPage {
public:
    explicit CountedPage(int* released) : released_(released) {}
    std::u16string_view Title() override { return u"Page"; }
    HWND CreatePageWindow(HWND, IPropertySheetSite*) override { return nullptr; }
    BOOL OnApply() override { return 1; }
    void Release() override
    {
        ++*released_;
        delete this;
    }

private:
    virtual ~CountedPage() = default;
    int* released_;
};

class RefusingSheet : public zyr::com::ComObject<IPropertySheetCallback> {
public:
    HRESULT AddPage(HPROPSHEETPAGE) override { return E_FAIL; }
    HRESULT RemovePage(HPROPSHEETPAGE) override { return E_FAIL; }
};

TEST(PropertyPageHandOver, SheetOwnsAcceptedPagesAndRefusedOnesAreReleased)
{
    int released = 0;
    {
        auto sheet = ComPtr<ScriptedSheet>::Attach(new ScriptedSheet);
        EXPECT_EQ(S_OK, zyr::console::AddPropertyPage(sheet.get(), new CountedPage(&released)));
        EXPECT_EQ(0, released);
    }
    EXPECT_EQ(1, released) << "the sheet released it when it closed";
    auto refusing = ComPtr<RefusingSheet>::Attach(new RefusingSheet);
    EXPECT_EQ(E_FAIL, zyr::console::AddPropertyPage(refusing.get(), new CountedPage(&released)));
    EXPECT_EQ(2, released);
}

} // namespace
