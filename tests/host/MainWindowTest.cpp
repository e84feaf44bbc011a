// The console window under the offscreen platform: the tree, the result list
// with its sorting and filter, context menus, verbs, property sheets, and the
// program's screenshot mode.
#include "host/MainWindow.h"
#include "host/PropertySheet.h"
#include "host/WindowPlacement.h"
#include "tests/host/HostFixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QEventLoop>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace zyr::host {
namespace {

using zyr::testing::SnapinLog;

class MainWindowTest : public zyr::testing::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        window_ = std::make_unique<MainWindow>(session_);
        ASSERT_EQ(session_.Start(CLSID_TestSnapin), S_OK);
        window_->show();
        window_->SelectScopeItem(session_.Root());
        alpha_ = session_.FindByPath(u"Test Root/Alpha");
        ASSERT_NE(alpha_, 0);
    }
    void TearDown() override
    {
        window_.reset();
        HostTest::TearDown();
    }

    QStringList ListNames() const
    {
        QStringList names;
        QSortFilterProxyModel* proxy = window_->ResultProxy();
        for (int row = 0; row < proxy->rowCount(); ++row) {
            names << proxy->index(row, 0).data().toString();
        }
        return names;
    }
    void SelectListRow(const QString& name)
    {
        QSortFilterProxyModel* proxy = window_->ResultProxy();
        for (int row = 0; row < proxy->rowCount(); ++row) {
            if (proxy->index(row, 0).data().toString() == name) {
                window_->ResultList()->setCurrentIndex(proxy->index(row, 0));
                return;
            }
        }
        ADD_FAILURE() << "no row " << name.toStdString();
    }
    static QAction* ActionNamed(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }

    ConsoleSession session_;
    std::unique_ptr<MainWindow> window_;
    HSCOPEITEM alpha_ = 0;
};

TEST_F(MainWindowTest, TheTreeFollowsTheSnapinAndSelectingShowsThePane)
{
    QTreeWidget* tree = window_->ScopeTree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("Test Root"));
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("Alpha"));
    EXPECT_FALSE(root->child(0)->icon(0).isNull());
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("ZYR Security Manager - Test Root"));
    EXPECT_EQ(window_->StatusText()->text(), QStringLiteral("Server: test:"));
    // The root's pane is its HTML page.
    EXPECT_TRUE(window_->HtmlView()->isVisible());
    EXPECT_TRUE(
        window_->HtmlView()->toPlainText().contains(QStringLiteral("result view of the test snap-in")));
    EXPECT_TRUE(window_->DescriptionBar()->isHidden()) << "no empty strip";

    tree->setCurrentItem(root->child(0));
    EXPECT_EQ(session_.ShownScope(), alpha_);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("ZYR Security Manager - Test Root\\Alpha"));
    EXPECT_TRUE(window_->ResultList()->isVisible());
    EXPECT_EQ(ListNames(), (QStringList{QStringLiteral("Leaf One"), QStringLiteral("Leaf Two")}));
    EXPECT_EQ(window_->ResultProxy()->headerData(1, Qt::Horizontal).toString(),
              QStringLiteral("Description"));
    // The snap-in's widths, and afterwards the operator's.
    EXPECT_EQ(window_->ResultList()->columnWidth(0), 200);
    window_->ResultList()->setColumnWidth(0, 150);
    window_->SelectScopeItem(session_.FindByPath(u"Test Root/Beta"));
    window_->SelectScopeItem(alpha_);
    EXPECT_EQ(window_->ResultList()->columnWidth(0), 150);
    // Kept in the user hive for lists of these columns.
    window_->KeepPlacement();
    ASSERT_FALSE(LoadColumnWidths(QStringLiteral("Name|Description")).empty());
    EXPECT_EQ(LoadColumnWidths(QStringLiteral("Name|Description"))[0], 150);
    EXPECT_EQ(window_->DescriptionBar()->text(), QStringLiteral("2 leaves"));
    EXPECT_FALSE(window_->DescriptionBar()->isHidden());
    EXPECT_TRUE(window_->PropertiesAction()->isEnabled());
    EXPECT_TRUE(window_->RefreshAction()->isEnabled());
    EXPECT_FALSE(window_->DeleteAction()->isEnabled());
    ASSERT_EQ(window_->SnapinToolbars().size(), 1u);
    EXPECT_TRUE(window_->SnapinToolbars()[0]->isVisible());
}

TEST_F(MainWindowTest, ColumnsShareThePaneSoTheLastIsInView)
{
    window_->SelectScopeItem(alpha_);
    QTreeView* list = window_->ResultList();
    auto lastInView = [list] { return list->header()->sectionPosition(1) < list->viewport()->width(); };
    EXPECT_TRUE(lastInView());
    EXPECT_EQ(list->columnWidth(0), 200) << "the snap-in's width where there is room";
    // A narrow pane: the wide columns give way, never below their header.
    window_->resize(480, window_->height());
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->columnWidth(0) < 200; }));
    EXPECT_TRUE(lastInView());
    EXPECT_GE(list->columnWidth(0), list->header()->sectionSizeHint(0));
    window_->resize(900, window_->height());
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->columnWidth(0) == 200; }));
    // A width the operator set stays whatever the pane's size.
    list->setColumnWidth(0, 150);
    window_->resize(480, window_->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(list->columnWidth(0), 150);
}

TEST_F(MainWindowTest, HeaderClicksSortAndTheFilterNarrowsTheList)
{
    window_->SelectScopeItem(alpha_);
    QHeaderView* header = window_->ResultList()->header();
    QPoint first(header->sectionPosition(0) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
    Qt::SortOrder order = header->sortIndicatorOrder();
    QStringList sorted = ListNames();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
    EXPECT_NE(header->sortIndicatorOrder(), order);
    QStringList reversed = ListNames();
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(sorted, reversed);

    window_->SetFilterText(QStringLiteral("SECOND"));
    EXPECT_EQ(ListNames(), QStringList{QStringLiteral("Leaf Two")});
    window_->SetFilterText(QString());
    EXPECT_EQ(ListNames().size(), 2);

    // A selected item that the filter hides is no longer what the verbs act on.
    SelectListRow(QStringLiteral("Leaf Two"));
    ASSERT_TRUE(window_->DeleteAction()->isEnabled());
    window_->SetFilterText(QStringLiteral("first"));
    EXPECT_TRUE(session_.Focus().InScopePane());
    EXPECT_FALSE(window_->DeleteAction()->isEnabled());
}

TEST_F(MainWindowTest, ContextMenusCarryTheSnapinItemsInNewAndAllTasks)
{
    window_->SelectScopeItem(alpha_);
    std::unique_ptr<QMenu> menu(window_->BuildContextMenu(session_.Focus()));
    EXPECT_EQ(menu->objectName(), QStringLiteral("contextMenu"));
    auto* newMenu = menu->findChild<QMenu*>(QStringLiteral("menuNew"));
    auto* tasks = menu->findChild<QMenu*>(QStringLiteral("menuTasks"));
    ASSERT_NE(newMenu, nullptr);
    ASSERT_NE(tasks, nullptr);
    EXPECT_EQ(newMenu->title(), QStringLiteral("New"));
    EXPECT_EQ(tasks->title(), QStringLiteral("All Tasks"));
    EXPECT_NE(ActionNamed(tasks, QStringLiteral("Count Leaves")), nullptr);
    EXPECT_NE(ActionNamed(menu.get(), QStringLiteral("Properties")), nullptr);
    EXPECT_EQ(ActionNamed(menu.get(), QStringLiteral("Delete")), nullptr);

    QAction* leaf = ActionNamed(newMenu, QStringLiteral("Leaf"));
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->statusTip(), QStringLiteral("Adds a leaf"));
    leaf->trigger();
    EXPECT_EQ(ListNames().back(), QStringLiteral("Leaf 3"));
    EXPECT_EQ(window_->DescriptionBar()->text(), QStringLiteral("3 leaves"));

    // The menu key in the list: the menu of the current row, not of the row
    // under the middle of the list.
    SelectListRow(QStringLiteral("Leaf Two"));
    const HRESULTITEM second = session_.Focus().resultId;
    emit window_->ResultList()->customContextMenuRequested(QPoint(2, 2));
    EXPECT_EQ(session_.Focus().resultId, second);
    QMenu* keyed = nullptr;
    for (QMenu* shown : window_->findChildren<QMenu*>(QStringLiteral("contextMenu"))) {
        keyed = shown->isVisible() ? shown : keyed;
    }
    ASSERT_NE(keyed, nullptr);
    EXPECT_NE(ActionNamed(keyed, QStringLiteral("Delete")), nullptr) << "the leaf's own verbs";
    keyed->close();

    // A command that selects another item moves the tree with it.
    std::unique_ptr<QMenu> rootMenu(window_->BuildContextMenu(session_.ScopeTarget(session_.Root())));
    QAction* go = ActionNamed(rootMenu.get(), QStringLiteral("Go to Beta"));
    ASSERT_NE(go, nullptr);
    go->trigger();
    EXPECT_EQ(window_->ScopeTree()->currentItem()->text(0), QStringLiteral("Beta"));
}

TEST_F(MainWindowTest, TheMenuBarOffersTheItemsMenuHelpAndAbout)
{
    window_->SelectScopeItem(alpha_);
    emit window_->ActionMenu()->aboutToShow();
    QStringList actions;
    for (QAction* action : window_->ActionMenu()->actions()) {
        actions << action->text();
    }
    EXPECT_TRUE(actions.contains(QStringLiteral("Refresh"))) << actions.join(',').toStdString();
    EXPECT_TRUE(actions.contains(QStringLiteral("New"))) << "the snap-in's New submenu";

    const std::string aboutClass = zyr::com::GuidToString(CLSID_TestSnapinAbout);
    zyr::testing::TempRegistry::SetText(HKEY_LOCAL_MACHINE, zyr::testing::kSnapinKey.c_str(), "About",
                                        aboutClass);
    zyr::testing::TempRegistry::SetText(
        HKEY_CLASSES_ROOT, ("CLSID\\" + aboutClass + "\\InprocServer32").c_str(), "", ZYR_TEST_SNAPIN_PATH);
    QDialog* about = window_->ShowAbout();
    auto* text = about->findChild<QLabel*>(QStringLiteral("aboutText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("Tests the console\nProvider: Test Works\nVersion: 1.2"));
    about->close();
    auto* help = qobject_cast<QTextBrowser*>(window_->ShowHelp());
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("no help file")));

    // The size and the item shown are kept for the next start.
    window_->resize(700, 450);
    window_->KeepPlacement();
    window_->SelectScopeItem(session_.Root());
    window_->resize(500, 300);
    window_->RestorePlacement();
    EXPECT_EQ(session_.ShownScope(), alpha_);
    EXPECT_EQ(window_->size(), QSize(700, 450));
}

TEST_F(MainWindowTest, APropertySheetAppliesOnlyWhatItsPagesAccept)
{
    window_->SelectScopeItem(alpha_);
    SelectListRow(QStringLiteral("Leaf One"));
    ASSERT_TRUE(window_->PropertiesAction()->isEnabled());
    window_->PropertiesAction()->trigger();
    ASSERT_EQ(window_->OpenSheets().size(), 1u);
    PropertySheet* sheet = window_->OpenSheets()[0];
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Leaf One Properties"));
    EXPECT_EQ(sheet->Tabs()->tabText(0), QStringLiteral("General"));
    EXPECT_FALSE(sheet->ApplyButton()->isEnabled());
    // Asking again brings the same sheet forward.
    window_->PropertiesAction()->trigger();
    EXPECT_EQ(window_->OpenSheets().size(), 1u);

    auto* edit = sheet->findChild<QLineEdit*>(QStringLiteral("nameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_TRUE(sheet->ApplyButton()->isEnabled());
    // An empty name is refused: the sheet stays open.
    sheet->accept();
    EXPECT_EQ(window_->OpenSheets().size(), 1u);
    EXPECT_NE(SnapinLog().find("APPLY refused"), std::string::npos);

    QTest::keyClicks(edit, QStringLiteral("Renamed"));
    QTest::mouseClick(sheet->ApplyButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->ApplyButton()->isEnabled());
    EXPECT_TRUE(ListNames().contains(QStringLiteral("Renamed")));
    EXPECT_NE(SnapinLog().find("PROPERTY_CHANGE Renamed result"), std::string::npos);

    sheet->accept();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window_->OpenSheets().empty());
    // Only the page that was shown was applied.
    EXPECT_EQ(SnapinLog().find("NOTES APPLY"), std::string::npos);
    window_->PropertiesAction()->trigger();
    ASSERT_EQ(window_->OpenSheets().size(), 1u);
    window_->OpenSheets()[0]->Tabs()->setCurrentIndex(1);
    window_->OpenSheets()[0]->accept();
    EXPECT_NE(SnapinLog().find("NOTES APPLY"), std::string::npos);
}

TEST_F(MainWindowTest, ADoubleClickTheSnapinLeavesToTheConsoleOpensTheProperties)
{
    window_->SelectScopeItem(alpha_);
    SelectListRow(QStringLiteral("Leaf Two"));
    QTreeView* list = window_->ResultList();
    QRect cell = list->visualRect(list->currentIndex());
    // A double click is a press and release, then the second press.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(window_->OpenSheets().size(), 1u);
    EXPECT_EQ(window_->OpenSheets()[0]->windowTitle(), QStringLiteral("Leaf Two Properties"));
}

TEST_F(MainWindowTest, PropertyChangesFromAnotherThreadReachTheViewOnTheConsolesThread)
{
    window_->SelectScopeItem(alpha_);
    SelectListRow(QStringLiteral("Leaf One"));
    SheetRequest sheet;
    ASSERT_EQ(session_.QueryProperties(session_.Focus(), sheet), S_OK);
    HRESULT hr = E_FAIL;
    QEventLoop loop;
    std::thread worker([&] {
        hr = MMCPropertyChangeNotify(sheet.notifyHandle, session_.Focus().cookie);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    EXPECT_EQ(hr, S_OK);
    EXPECT_NE(SnapinLog().find("PROPERTY_CHANGE Leaf One result\n"), std::string::npos);
    session_.EndSheet(sheet);
}

TEST_F(MainWindowTest, TheDeleteVerbRemovesTheSelectedItem)
{
    window_->SelectScopeItem(alpha_);
    SelectListRow(QStringLiteral("Leaf Two"));
    EXPECT_EQ(window_->DeleteAction()->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(window_->PropertiesAction()->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Return));
    EXPECT_EQ(window_->RefreshAction()->shortcut(), QKeySequence(Qt::Key_F5));
    ASSERT_TRUE(window_->DeleteAction()->isEnabled());
    window_->DeleteAction()->trigger();
    EXPECT_EQ(ListNames(), QStringList{QStringLiteral("Leaf One")});
    EXPECT_FALSE(window_->DeleteAction()->isEnabled());

    // A scope item goes from the tree, and its parent is shown.
    window_->SelectScopeItem(session_.FindByPath(u"Test Root/Beta"));
    window_->DeleteAction()->trigger();
    EXPECT_EQ(window_->ScopeTree()->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(window_->ScopeTree()->currentItem(), window_->ScopeTree()->topLevelItem(0));
}

TEST_F(MainWindowTest, TheToolbarButtonReachesTheSnapin)
{
    window_->SelectScopeItem(alpha_);
    QToolBar* bar = window_->SnapinToolbars()[0];
    auto* button = bar->findChild<QAction*>(QStringLiteral("button1"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Adds a leaf"));
    button->trigger();
    EXPECT_EQ(ListNames().size(), 3);
}

// The program itself: start-up, selection by path and the screenshot.
class ProgramTest : public zyr::testing::HostTest {
protected:
    int Run(const std::string& arguments)
    {
        std::string command = "QT_QPA_PLATFORM=offscreen ZYR_REGISTRY_DIR='" +
                              zyr::registry::CurrentLocation().machineDir + "' '" + ZYR_CONSOLE_HOST_PATH +
                              "' " + arguments + " 2>/dev/null";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Shot() const { return (registry_.Root() / "shot.png").string(); }
};

TEST_F(ProgramTest, WritesAScreenshotOfTheSelectedItem)
{
    ASSERT_EQ(Run("--select 'Test Root/Alpha' --screenshot '" + Shot() + "'"), 0);
    ASSERT_GT(std::filesystem::file_size(Shot()), 0u);
    QImage image(QString::fromStdString(Shot()));
    EXPECT_GT(image.width(), 400);
    EXPECT_GT(image.height(), 200);
}

TEST_F(ProgramTest, FindsTheSnapinByClassOrFailsPlainly)
{
    zyr::testing::RegisterTestSnapin("Another Name");
    EXPECT_EQ(Run("--screenshot '" + Shot() + "'"), 1);
    EXPECT_FALSE(std::filesystem::exists(Shot()));
    EXPECT_EQ(Run("--snapin " + zyr::com::GuidToString(CLSID_TestSnapin) + " --screenshot '" + Shot() + "'"),
              0);
    EXPECT_TRUE(std::filesystem::exists(Shot()));
    EXPECT_EQ(Run("--snapin " + zyr::com::GuidToString(CLSID_TestSnapin) +
                  " --select 'Test Root/None' --screenshot '" + Shot() + "'"),
              1);
    EXPECT_EQ(Run("--bogus"), 2);
}

} // namespace
} // namespace zyr::host
