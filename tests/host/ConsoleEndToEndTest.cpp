// The console as an administrator drives it: the console window with the
// product's snap-in module and sign-in components, against the reference
// server with its demo data, by keys and clicks under the offscreen platform.
// What the server stored and what its audit trail holds are read back over
// HTTP. Nothing waits for a time: every step waits for its condition.
#include "host/MainWindow.h"
#include "host/PropertySheet.h"
#include "host/QtUiService.h"
#include "host/SnapinRegistry.h"
#include "platform/com/ClassTable.h"
#include "tests/platform/TempRegistry.h"
#include "tests/support/ReferenceServer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <curl/curl.h>
#include <dlfcn.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace zyr::host {
namespace {

using zyr::testing::TempRegistry;

constexpr char16_t kRoot[] = u"ZYR Security Manager";

size_t Append(char* data, size_t size, size_t count, void* reply)
{
    static_cast<std::string*>(reply)->append(data, size * count);
    return size * count;
}

int Occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// Registers a module the way zyr-register does; the module stays loaded.
bool RegisterModule(const char* path)
{
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (module == nullptr) {
        ADD_FAILURE() << dlerror();
        return false;
    }
    auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"));
    return entry != nullptr && entry() == S_OK;
}

class ConsoleEndToEndTest : public ::testing::Test {
protected:
    // One server and one registry for the program: the loaded module keeps
    // its settings and sign-in for the life of the process, as a console does.
    static void SetUpTestSuite()
    {
        registry_ = new TempRegistry;
        server_ = new zyr::test::ReferenceServer;
        if (!server_->Start({"--seed", "demo", "--log-level", "error"})) {
            return;
        }
        std::filesystem::path cache = registry_->Root() / "cache";
        std::filesystem::create_directories(cache);
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "URL", server_->RequestUrl());
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", "CachePath", cache.string());
        // The sign-in proposes the logged-on account, the demo's administrator.
        TempRegistry::SetDword(HKEY_CURRENT_USER, "Software\\Tarnwick\\ZYR\\Security\\Snap-in", "LoginUser",
                               1);
        registered_ = true;
        for (const char* module :
             {ZYR_AUTHENTICATION_MODULE, ZYR_AUTHORIZATION_MODULE, ZYR_SNAPIN_MODULE_PATH}) {
            registered_ = RegisterModule(module) && registered_;
        }
    }
    static void TearDownTestSuite()
    {
        delete server_;
        delete registry_;
        zyr::com::ResetClassTable();
    }

    void SetUp() override
    {
        if (!server_->IsRunning()) {
            GTEST_SKIP() << "the reference server is not built";
        }
        ASSERT_TRUE(registered_);
        CLSID snapin{};
        ASSERT_TRUE(FindStandAloneSnapin(kRoot, nullptr, snapin));

        InstallQtUiService();
        window_ = std::make_unique<MainWindow>(session_);
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        // The first start signs in; later ones find the session open.
        WhenModal({}, [](QWidget* dialog) { Click(dialog, "1"); });
        ASSERT_EQ(session_.Start(snapin), S_OK);
        delete answerers_;
        answerers_ = new QObject;
        ASSERT_NE(session_.FindByPath(std::u16string(kRoot) + u"/Applications"), 0);
        window_->SelectScopeItem(session_.Root());
        Activate();
    }
    // The offscreen platform has no window manager to give the console its
    // activation back when a dialog closes: a window's shortcuts need it.
    void Activate()
    {
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }
    void TearDown() override
    {
        delete answerers_;
        window_.reset();
    }

    // Runs act once on the modal dialog named name (any when empty) as soon
    // as its own event loop shows it.
    void WhenModal(const QString& name, std::function<void(QWidget*)> act)
    {
        auto* timer = new QTimer(answerers_);
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, name, act] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible() || (!name.isEmpty() && modal->objectName() != name)) {
                return;
            }
            timer->stop();
            act(modal);
            timer->deleteLater();
        });
        timer->start();
    }
    static bool Click(QWidget* dialog, const char* button)
    {
        auto* found = dialog->findChild<QPushButton*>(QString::fromLatin1(button));
        if (found == nullptr || !found->isEnabled()) {
            return false;
        }
        QTest::mouseClick(found, Qt::LeftButton);
        return true;
    }

    // A request of the server's catalogue, answered as text.
    std::string Get(const std::string& query) const
    {
        std::string reply;
        CURL* curl = curl_easy_init();
        const std::string url = server_->RequestUrl() + "?" + query;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
        EXPECT_EQ(curl_easy_perform(curl), CURLE_OK) << query;
        curl_easy_cleanup(curl);
        return reply;
    }
    // The newest page of the audit records of one kind whose name holds name.
    std::string AuditPage(const std::string& kind, const std::string& name) const
    {
        char* escaped = curl_easy_escape(nullptr, name.c_str(), static_cast<int>(name.size()));
        const std::string page =
            Get("Object=Audit&Operation=Get&DisplaySet=0&Object=" + kind + "&Name=" + escaped);
        curl_free(escaped);
        return page;
    }
    int AuditRecords(const std::string& kind, const std::string& name) const
    {
        return Occurrences(AuditPage(kind, name), "<AUDIT>");
    }

    HSCOPEITEM Show(const std::u16string& path)
    {
        HSCOPEITEM item = session_.FindByPath(std::u16string(kRoot) + u"/" + path);
        EXPECT_NE(item, 0);
        window_->SelectScopeItem(item);
        return item;
    }
    QStringList ListNames() const
    {
        QStringList names;
        for (int row = 0; row < window_->ResultProxy()->rowCount(); ++row) {
            names << window_->ResultProxy()->index(row, 0).data().toString();
        }
        return names;
    }
    QString CurrentRow() const
    {
        return window_->ResultList()->currentIndex().siblingAtColumn(0).data().toString();
    }
    // A click on the row named name of the result list.
    void ClickRow(const QString& name)
    {
        const int row = static_cast<int>(ListNames().indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        QTreeView* list = window_->ResultList();
        const QRect cell = list->visualRect(window_->ResultProxy()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        ASSERT_EQ(CurrentRow(), name);
    }
    QStringList TreeChildren(HSCOPEITEM id) const
    {
        QStringList names;
        QTreeWidgetItem* item = window_->TreeItem(id);
        for (int i = 0; item != nullptr && i < item->childCount(); ++i) {
            names << item->child(i)->text(0);
        }
        return names;
    }

    // The context-menu key: the platform turns it into a keyboard context
    // menu event for the focused widget, at its input cursor.
    QMenu* PressMenuKey(QWidget* widget)
    {
        widget->setFocus();
        const QPoint at = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &event);
        return ShownMenu();
    }
    // A right click on the tree's item of id.
    QMenu* RightClickTreeItem(HSCOPEITEM id)
    {
        QWidget* viewport = window_->ScopeTree()->viewport();
        const QPoint at = window_->ScopeTree()->visualItemRect(window_->TreeItem(id)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        return ShownMenu();
    }
    static QMenu* ShownMenu()
    {
        QMenu* menu = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu != nullptr && menu->isVisible();
        }));
        return menu;
    }
    static QAction* ActionNamed(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions()) {
            if (action->text().remove(QLatin1Char('&')) == text) {
                return action;
            }
        }
        return nullptr;
    }
    // A click on the menu's item text; an item with a submenu opens it.
    QMenu* ClickMenuItem(QMenu* menu, const QString& text)
    {
        QAction* action = ActionNamed(menu, text);
        EXPECT_NE(action, nullptr) << text.toStdString();
        if (action == nullptr) {
            return nullptr;
        }
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        if (action->menu() == nullptr) {
            return nullptr;
        }
        EXPECT_TRUE(QTest::qWaitFor([action] { return action->menu()->isVisible(); }));
        return action->menu();
    }

    // Answers the next New dialog: a name and a description typed into its
    // edits of those object names, then OK.
    void AnswerNew(const char* nameEdit, const char* descriptionEdit, const QString& name, bool& made)
    {
        made = false;
        WhenModal({}, [nameEdit, descriptionEdit, name, &made](QWidget* dialog) {
            auto* nameBox = dialog->findChild<QLineEdit*>(QString::fromLatin1(nameEdit));
            auto* description = dialog->findChild<QLineEdit*>(QString::fromLatin1(descriptionEdit));
            if (nameBox != nullptr && description != nullptr) {
                QTest::keyClicks(nameBox, name);
                QTest::keyClicks(description, QStringLiteral("made by keys"));
                made = Click(dialog, "1");
            }
        });
    }

    // Alt+Enter on the focused list: the sheet of the current item.
    PropertySheet* OpenSheetByKeys()
    {
        Activate();
        window_->ResultList()->setFocus();
        QTest::keyClick(window_->ResultList(), Qt::Key_Return, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([this] { return window_->OpenSheets().size() == 1; }));
        return window_->OpenSheets().empty() ? nullptr : window_->OpenSheets()[0];
    }
    void PressOk(PropertySheet* sheet)
    {
        QTest::mouseClick(sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([this] { return window_->OpenSheets().empty(); }));
    }
    // The edit that the label text names as its buddy on the current page.
    static QLineEdit* EditOf(PropertySheet* sheet, const QString& label)
    {
        for (QLabel* text : sheet->Tabs()->currentWidget()->findChildren<QLabel*>()) {
            if (text->text() == label) {
                return qobject_cast<QLineEdit*>(text->buddy());
            }
        }
        return nullptr;
    }

    static inline TempRegistry* registry_ = nullptr;
    static inline zyr::test::ReferenceServer* server_ = nullptr;
    static inline bool registered_ = false;
    ConsoleSession session_;
    std::unique_ptr<MainWindow> window_;
    QObject* answerers_ = new QObject;
};

TEST_F(ConsoleEndToEndTest, ANewItemShowsAtOnceAndEveryCommandHasItsKey)
{
    const HSCOPEITEM applications = Show(u"Applications");
    ClickRow(QStringLiteral("Plant Historian"));
    const int shown = static_cast<int>(ListNames().size());

    // The menu key in the tree: New Application while a row of the list is
    // selected; the new application is at once in the tree, in the list and
    // on the server.
    QMenu* menu = PressMenuKey(window_->ScopeTree());
    ASSERT_NE(menu, nullptr);
    QMenu* newMenu = ClickMenuItem(menu, QStringLiteral("New"));
    ASSERT_NE(newMenu, nullptr);
    bool made = false;
    AnswerNew("201", "202", QStringLiteral("Night Shift Console"), made);
    ClickMenuItem(newMenu, QStringLiteral("New Application"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return made && ListNames().size() == shown + 1; }));
    EXPECT_TRUE(TreeChildren(applications).contains(QStringLiteral("Night Shift Console")));
    EXPECT_EQ(CurrentRow(), QStringLiteral("Night Shift Console"));
    EXPECT_NE(Get("Object=Appl&Operation=GetAll").find("<APPLNAME>Night Shift Console</APPLNAME>"),
              std::string::npos);

    // F5 reads the list again and keeps it whole; Ctrl+F goes to the filter.
    Activate();
    window_->ResultList()->setFocus();
    QTest::keyClick(window_->ResultList(), Qt::Key_F5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ListNames().size() == shown + 1; }));
    QTest::keyClick(window_->ResultList(), Qt::Key_F, Qt::ControlModifier);
    auto* filter = window_->findChild<QLineEdit*>(QStringLiteral("filter"));
    ASSERT_TRUE(QTest::qWaitFor([filter] { return filter->hasFocus(); }));
    QTest::keyClicks(filter, QStringLiteral("night"));
    EXPECT_EQ(ListNames(), QStringList{QStringLiteral("Night Shift Console")});
    filter->clear();

    // The menu key in the list: the current row's own menu.
    ClickRow(QStringLiteral("Night Shift Console"));
    menu = PressMenuKey(window_->ResultList());
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(ActionNamed(menu, QStringLiteral("Delete")), nullptr);
    EXPECT_NE(ActionNamed(menu, QStringLiteral("Properties")), nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));

    // Del asks first; Yes deletes it from the list, the tree and the server.
    const int records = AuditRecords("Appl", "Night Shift Console");
    bool asked = false;
    WhenModal({}, [&asked](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (box != nullptr && box->button(QMessageBox::Yes) != nullptr) {
            asked = true;
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        }
    });
    window_->ResultList()->setFocus();
    QTest::keyClick(window_->ResultList(), Qt::Key_Delete);
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked && ListNames().size() == shown; }));
    EXPECT_FALSE(TreeChildren(applications).contains(QStringLiteral("Night Shift Console")));
    EXPECT_EQ(Get("Object=Appl&Operation=GetAll").find("Night Shift Console"), std::string::npos);
    EXPECT_EQ(AuditRecords("Appl", "Night Shift Console"), records + 1);

    // New Role from the menu of the Roles node while Applications is shown:
    // the console turns to the roles with the new one among them, selected.
    const HSCOPEITEM roles = session_.FindByPath(std::u16string(kRoot) + u"/Roles");
    menu = RightClickTreeItem(roles);
    ASSERT_NE(menu, nullptr);
    newMenu = ClickMenuItem(menu, QStringLiteral("New"));
    ASSERT_NE(newMenu, nullptr);
    AnswerNew("244", "245", QStringLiteral("Night Shift Operators"), made);
    ClickMenuItem(newMenu, QStringLiteral("Role"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return made && ListNames().contains(QStringLiteral("Night Shift Operators")); }));
    EXPECT_EQ(session_.ShownScope(), roles);
    EXPECT_EQ(CurrentRow(), QStringLiteral("Night Shift Operators"));
    EXPECT_NE(Get("Object=Role&Operation=Get").find("Night Shift Operators"), std::string::npos);

    // New Secure Group under an application: in its tree and its list at once.
    const HSCOPEITEM historian = Show(u"Applications/Plant Historian");
    menu = PressMenuKey(window_->ScopeTree());
    ASSERT_NE(menu, nullptr);
    newMenu = ClickMenuItem(menu, QStringLiteral("New"));
    ASSERT_NE(newMenu, nullptr);
    AnswerNew("251", "252", QStringLiteral("Night Shift Group"), made);
    ClickMenuItem(newMenu, QStringLiteral("Secure Group"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return made && ListNames().contains(QStringLiteral("Night Shift Group")); }));
    EXPECT_TRUE(TreeChildren(historian).contains(QStringLiteral("Night Shift Group")));
    EXPECT_EQ(CurrentRow(), QStringLiteral("Night Shift Group"));
    EXPECT_NE(Get("Object=Appl&Operation=GetAll").find("Night Shift Group"), std::string::npos);
}

TEST_F(ConsoleEndToEndTest, SheetsSendOnlyWhatChangedAndThePickerWorksByKeys)
{
    Show(u"Applications");
    ClickRow(QStringLiteral("Plant Historian"));
    const int records = AuditRecords("Appl", "Plant Historian");

    // Opened and closed with OK untouched: nothing sent, nothing audited.
    PropertySheet* sheet = OpenSheetByKeys();
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->ApplyButton()->isEnabled());
    PressOk(sheet);
    EXPECT_EQ(AuditRecords("Appl", "Plant Historian"), records);

    // One description changed: one change, one audit record.
    sheet = OpenSheetByKeys();
    ASSERT_NE(sheet, nullptr);
    QLineEdit* description = EditOf(sheet, QStringLiteral("&Description:"));
    ASSERT_NE(description, nullptr);
    description->setFocus();
    QTest::keyClick(description, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(description, QStringLiteral("Historian of the night shift"));
    EXPECT_TRUE(sheet->ApplyButton()->isEnabled());
    PressOk(sheet);
    EXPECT_EQ(AuditRecords("Appl", "Plant Historian"), records + 1);
    EXPECT_NE(Get("Object=Appl&Operation=GetAll").find("Historian of the night shift"), std::string::npos);

    // A role's General page alike.
    Show(u"Roles");
    QString role;
    for (const QString& name : ListNames()) {
        role = name != QStringLiteral("Security Administrators") ? name : role;
    }
    ClickRow(role);
    const int roleRecords = AuditRecords("Role", role.toStdString());
    sheet = OpenSheetByKeys();
    ASSERT_NE(sheet, nullptr);
    PressOk(sheet);
    EXPECT_EQ(AuditRecords("Role", role.toStdString()), roleRecords);
    sheet = OpenSheetByKeys();
    ASSERT_NE(sheet, nullptr);
    description = EditOf(sheet, QStringLiteral("&Description:"));
    ASSERT_NE(description, nullptr);
    description->setFocus();
    QTest::keyClicks(description, QStringLiteral(" of the night"));
    PressOk(sheet);
    EXPECT_EQ(AuditRecords("Role", role.toStdString()), roleRecords + 1);
    EXPECT_NE(Get("Object=Role&Operation=Get").find(" of the night"), std::string::npos);

    // The picker: OK stays off with nothing picked; typing, Down and Enter
    // take the first match; a click and a Ctrl+click take two at once; a
    // double-click takes one. OK on the sheet sends them as one change.
    sheet = OpenSheetByKeys();
    ASSERT_NE(sheet, nullptr);
    for (int tab = sheet->Tabs()->count() - 1; tab >= 0; --tab) {
        if (sheet->Tabs()->tabText(tab).contains(QStringLiteral("Members"))) {
            sheet->Tabs()->setCurrentIndex(tab); // the first, the account page
        }
    }
    auto* add = sheet->Tabs()->currentWidget()->findChild<QPushButton*>(QStringLiteral("353"));
    auto* members = sheet->Tabs()->currentWidget()->findChild<QTreeWidget*>(QStringLiteral("350"));
    ASSERT_NE(add, nullptr);
    ASSERT_NE(members, nullptr);
    const int before = members->topLevelItemCount();
    // Picks among the matches of search: by how, or by Down and Enter.
    auto pick = [&](const QString& search,
                    const std::function<void(QTreeWidget*, QList<QTreeWidgetItem*>)>& how) {
        bool okWasOff = false;
        bool picked = false;
        WhenModal(QStringLiteral("AccountPicker"), [&](QWidget* picker) {
            okWasOff = !picker->findChild<QPushButton*>(QStringLiteral("1"))->isEnabled();
            auto* box = picker->findChild<QLineEdit*>(QStringLiteral("search"));
            auto* accounts = picker->findChild<QTreeWidget*>(QStringLiteral("accounts"));
            QTest::keyClicks(box, search);
            QList<QTreeWidgetItem*> matches;
            for (int row = 0; row < accounts->topLevelItemCount(); ++row) {
                if (!accounts->topLevelItem(row)->isHidden()) {
                    matches << accounts->topLevelItem(row);
                }
            }
            if (how) {
                how(accounts, matches);
            } else {
                QTest::keyClick(box, Qt::Key_Down);
                QTest::keyClick(box, Qt::Key_Return);
            }
            picked = !picker->isVisible();
        });
        QTest::mouseClick(add, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return picked; })) << search.toStdString();
        EXPECT_TRUE(okWasOff);
    };
    auto at = [](QTreeWidget* accounts, QTreeWidgetItem* item) {
        return accounts->visualItemRect(item).center();
    };
    pick(QStringLiteral("daemon"), {});
    EXPECT_EQ(members->topLevelItemCount(), before + 1);
    // The user and the group "bin": two members.
    QStringList two;
    pick(QStringLiteral("\\bin"), [&](QTreeWidget* accounts, QList<QTreeWidgetItem*> matches) {
        ASSERT_GE(matches.size(), 2);
        QTest::mouseClick(accounts->viewport(), Qt::LeftButton, {}, at(accounts, matches[0]));
        QTest::mouseClick(accounts->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          at(accounts, matches[1]));
        two << matches[0]->text(1) << matches[1]->text(1);
        Click(accounts->window(), "1");
    });
    EXPECT_EQ(two, (QStringList{QStringLiteral("Group"), QStringLiteral("User")}));
    EXPECT_EQ(members->topLevelItemCount(), before + 3);
    pick(QStringLiteral("\\sys"), [&](QTreeWidget* accounts, QList<QTreeWidgetItem*> matches) {
        ASSERT_FALSE(matches.isEmpty());
        // A double click is a press and release, then the second press.
        QTest::mouseClick(accounts->viewport(), Qt::LeftButton, {}, at(accounts, matches[0]));
        QTest::mouseDClick(accounts->viewport(), Qt::LeftButton, {}, at(accounts, matches[0]));
    });
    EXPECT_EQ(members->topLevelItemCount(), before + 4);
    EXPECT_TRUE(sheet->ApplyButton()->isEnabled());
    PressOk(sheet);
    EXPECT_EQ(AuditRecords("Role", role.toStdString()), roleRecords + 2);
    const std::string page = AuditPage("Role", role.toStdString());
    for (const char* name : {"daemon", "\\bin", "\\sys"}) {
        EXPECT_NE(page.find(name), std::string::npos) << name;
    }
}

} // namespace
} // namespace zyr::host
