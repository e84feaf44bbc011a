// The role pages and dialogs, offscreen, against the scripted server: what an
// apply sends, and what the dialogs accept.
#include "audit/ComponentModules.h"
#include "common/DirectoryClientComponents.h"
#include "pages/AccountPickerDlg.h"
#include "pages/NTAdvancedDlg.h"
#include "pages/NTRoleMemberPage.h"
#include "pages/NewRoleDialog.h"
#include "pages/NovellMemberPage.h"
#include "pages/RoleGenPage.h"
#include "tests/console/role/RoleFixture.h"
#include "tests/pages/QtTestApp.h"
#include "tests/signin/directory/DirectoryFixture.h"
#include "tests/support/NssWrapperRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTreeWidget>

using ::testing::ElementsAre;

namespace zyr::testing {
namespace {

namespace ui = zyr::ui;

class RolePagesTest : public RoleFixture {
protected:
    void SetUp() override
    {
        RoleFixture::SetUp();
        QtTestApp();
        // Made after the server URL is configured: a role reads it when made.
        owned = std::make_unique<CKVTRole>();
        CKVTRole& role = *owned;
        role.DN = "{r1}";
        role.CN = "Plant Ops";
        role.Description = "Night shift";
    }

    // The POST requests the scripted server received.
    std::vector<zyr::test::RecordedRequest> Posts() const
    {
        std::vector<zyr::test::RecordedRequest> posts;
        for (const auto& request : scripted.Requests()) {
            if (request.method == "POST") {
                posts.push_back(request);
            }
        }
        return posts;
    }

    // The decrypted old and new values at the end of an update's body.
    static std::pair<std::string, std::string> AuditValues(const std::string& body)
    {
        std::string text(body.c_str()); // without the terminator the carrier sends
        size_t oldAt = text.find("&OldValue=");
        size_t newAt = text.find("&NewValue=");
        if (oldAt == std::string::npos || newAt == std::string::npos) {
            return {};
        }
        std::string oldPlain, newPlain;
        EXPECT_TRUE(zyr::cipher::Decrypt(text.substr(oldAt + 10, newAt - oldAt - 10), oldPlain));
        EXPECT_TRUE(zyr::cipher::Decrypt(text.substr(newAt + 10), newPlain));
        return {oldPlain, newPlain};
    }

    // The texts and images of a member list.
    static std::vector<std::string> Items(const QTreeWidget* list)
    {
        std::vector<std::string> items;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            items.push_back(list->topLevelItem(i)->text(0).toStdString() + "/" +
                            std::to_string(list->topLevelItem(i)->data(0, Qt::UserRole).toInt()));
        }
        return items;
    }

    static void Select(QTreeWidget* list, std::initializer_list<int> rows)
    {
        list->clearSelection();
        for (int row : rows) {
            list->topLevelItem(row)->setSelected(true);
        }
    }

    // The member page of the role with these members as the server sent
    // them, its window held by widget.
    CNTRoleMemberPage* OpenMemberPage(std::initializer_list<const char*> groups,
                                      std::initializer_list<const char*> users,
                                      std::unique_ptr<QWidget>& widget)
    {
        for (const char* group : groups) {
            owned->AppendServerMemberGroup(group);
        }
        for (const char* user : users) {
            owned->AppendServerMemberUser(user);
        }
        auto* page = new CNTRoleMemberPage(0, owned.get());
        widget.reset(page->CreatePage(nullptr));
        return page;
    }

    std::unique_ptr<CKVTRole> owned;
};

// Fills the New Role dialog once its loop runs, presses OK and, when the
// dialog is still open after that, Cancel.
int RunNewRole(CNewRoleDialog& dialog, const QString& name, const QString& description = {})
{
    QTimer::singleShot(0, [name, description] {
        auto* shown = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (shown == nullptr) {
            return;
        }
        shown->findChild<QLineEdit*>("244")->setText(name);
        shown->findChild<QLineEdit*>("245")->setText(description);
        shown->findChild<QPushButton*>("1")->click();
        if (shown->isVisible()) {
            shown->findChild<QPushButton*>("2")->click();
        }
    });
    return dialog.DoModal();
}

TEST_F(RolePagesTest, NewRoleTrimsTheNameAndRefusesEmptyAndOneLetterNames)
{
    CNewRoleDialog accepted;
    ASSERT_EQ(ui::IDOK, RunNewRole(accepted, QString::fromUtf8("\u3000 Plant Ops \t"), "Night shift"));
    EXPECT_EQ("Plant Ops", accepted.m_strName);
    EXPECT_EQ("Night shift", accepted.m_strDescription);
    EXPECT_TRUE(ui.boxes.empty());

    CNewRoleDialog empty;
    EXPECT_EQ(ui::IDCANCEL, RunNewRole(empty, "   "));
    CNewRoleDialog single;
    EXPECT_EQ(ui::IDCANCEL, RunNewRole(single, " x "));
    CNewRoleDialog reserved;
    EXPECT_EQ(ui::IDCANCEL, RunNewRole(reserved, "Plant/Ops"));
    ASSERT_EQ(3u, ui.boxes.size());
    EXPECT_EQ("Empty Role Name Field", ui.boxes[0].text);
    EXPECT_EQ(ui::MB_ICONERROR, ui.boxes[0].style);
    EXPECT_NE(nullptr, ui.boxes[0].owner) << "the dialog owns its messages";
    EXPECT_EQ("You must enter a Role Name consisting of at least 2 characters/digits. ", ui.boxes[1].text);
    EXPECT_EQ(ui::MB_ICONINFORMATION, ui.boxes[1].style);
    EXPECT_EQ("ZYR Security Manager", ui.boxes[1].caption);
    EXPECT_EQ(nullptr, ui.boxes[2].owner) << "the name check shows its own message";
}

TEST_F(RolePagesTest, ATwoHundredFiftySixthCharacterIsRefusedWithAMessage)
{
    CNewRoleDialog dialog;
    std::string kept;
    QTimer::singleShot(0, [&kept] {
        auto* shown = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* name = shown->findChild<QLineEdit*>("244");
        name->setText(QString(255, 'n'));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(name, &press);
        kept = name->text().toStdString();
        shown->findChild<QPushButton*>("2")->click();
    });
    EXPECT_EQ(ui::IDCANCEL, dialog.DoModal());
    EXPECT_EQ(std::string(255, 'n'), kept);
    ASSERT_EQ(1u, ui.boxes.size());
    EXPECT_EQ("Only 255 characters are allowed.", ui.boxes[0].text);
    EXPECT_EQ(ui::MB_OK, ui.boxes[0].style);
}

TEST_F(RolePagesTest, TheGeneralPageSendsOnlyAChangedDescriptionWithItsAuditValues)
{
    CKVTRole& role = *owned;
    auto* page = new CRoleGenPage(0, &role);
    std::unique_ptr<QWidget> widget(page->CreatePage(nullptr));
    EXPECT_EQ("Plant Ops", page->NameEdit()->text().toStdString());
    EXPECT_TRUE(page->NameEdit()->isReadOnly());
    EXPECT_EQ(1, page->Apply());
    EXPECT_EQ(0u, scripted.RequestCount()) << "an unchanged description sends nothing";

    page->DescriptionEdit()->setText("Night & weekend");
    EXPECT_EQ(1, page->Apply());
    EXPECT_EQ("Night & weekend", role.Description.str());
    ASSERT_EQ(1u, Posts().size());
    EXPECT_THAT(Posts()[0].target,
                ::testing::HasSubstr("?Object=Role&Operation=Update&CN=Plant%20Ops&DN={r1}"));
    auto [oldValues, newValues] = AuditValues(Posts()[0].body);
    EXPECT_EQ("<OldValue><Description><Value>Night shift</Value></Description></OldValue>", oldValues);
    EXPECT_EQ("<NewValue><Description><Value>Night &amp; weekend</Value></Description></NewValue>",
              newValues);

    // A reserved character keeps the sheet open and the old text.
    page->DescriptionEdit()->setText("a|b");
    EXPECT_EQ(0, page->Apply());
    EXPECT_EQ("Night & weekend", role.Description.str());
    EXPECT_EQ(1u, Posts().size());
    page->Release();
}

TEST_F(RolePagesTest, TheMemberPageSendsNothingWhenTheMembersDidNotChange)
{
    CKVTRole& role = *owned;
    std::unique_ptr<QWidget> widget;
    auto* page = OpenMemberPage({"BUILD-07\\engineering", "Everyone"}, {"BUILD-07\\ann"}, widget);
    EXPECT_THAT(Items(page->MemberList()),
                ElementsAre("BUILD-07\\engineering/1", "Everyone/0", "BUILD-07\\ann/3"));

    // A member removed and added again, in another letter case, is no change.
    Select(page->MemberList(), {0});
    page->OnRemove();
    page->AddSelections({{"Group", "BUILD-07\\engineering"}, {"group", "build-07\\ENGINEERING"}});
    EXPECT_EQ(3, page->MemberList()->topLevelItemCount());
    EXPECT_EQ(1, page->Apply());
    EXPECT_EQ(0u, scripted.RequestCount());
    EXPECT_THAT(MemberNames(role.MemberGroups()), ElementsAre("BUILD-07\\engineering", "Everyone"));
    page->Release();
}

TEST_F(RolePagesTest, TheMemberPageSendsTheMembersRemovedAndAdded)
{
    CKVTRole& role = *owned;
    std::unique_ptr<QWidget> widget;
    auto* page = OpenMemberPage({"BUILD-07\\engineering"}, {"BUILD-07\\ann", "CORP\\bob"}, widget);
    Select(page->MemberList(), {0, 2});
    page->OnRemove();
    // A selection of another class ends the walk.
    page->AddSelections({{"User", "CORP\\carol"},
                         {"Group", "CORP\\ops"},
                         {"Group", "everyone"},
                         {"Computer", "CORP\\plc1"},
                         {"User", "CORP\\late"}});
    EXPECT_THAT(Items(page->MemberList()),
                ElementsAre("Everyone/0", "CORP\\ops/1", "CORP\\carol/3", "BUILD-07\\ann/3"));
    EXPECT_EQ(1, page->Apply());
    ASSERT_EQ(1u, Posts().size());
    auto [oldValues, newValues] = AuditValues(Posts()[0].body);
    EXPECT_EQ("<OldValue><MemberUsers><Value>CORP\\bob</Value></MemberUsers>"
              "<MemberGroups><Value>BUILD-07\\engineering</Value></MemberGroups></OldValue>",
              oldValues);
    EXPECT_EQ("<NewValue><MemberUsers><Value>CORP\\carol</Value></MemberUsers>"
              "<MemberGroups><Value>Everyone</Value><Value>CORP\\ops</Value></MemberGroups></NewValue>",
              newValues);
    EXPECT_THAT(MemberNames(role.MemberUsers()), ElementsAre("CORP\\carol", "BUILD-07\\ann"));
    EXPECT_THAT(MemberNames(role.MemberGroups()), ElementsAre("Everyone", "CORP\\ops"));
    std::string users;
    const std::string body = Posts()[0].body;
    ASSERT_TRUE(zyr::cipher::Decrypt(body.substr(11, body.find("&MemberGroup=") - 11), users));
    EXPECT_EQ("CORP\\carol;BUILD-07\\ann;", users);
    page->Release();
}

TEST_F(RolePagesTest, MemberApplyIsRefusedWhileTheAuditTrailIsUnusable)
{
    CKVTRole& role = *owned;
    std::unique_ptr<QWidget> widget;
    auto* page = OpenMemberPage({}, {"BUILD-07\\ann"}, widget);
    page->AddSelections({{"User", "CORP\\carol"}});
    console::SetAuditCheck([] { return true; });
    EXPECT_EQ(0, page->Apply());
    EXPECT_EQ(LoadStringAnsi(IDS_AUDIT_COMPONENTS_MISSING), ui.boxes.at(0).text);
    EXPECT_THAT(MemberNames(role.MemberUsers()), ElementsAre("BUILD-07\\ann"));
    EXPECT_EQ(0u, scripted.RequestCount());
    page->Release();
}

TEST_F(RolePagesTest, TheAdvancedDialogAsksForANameAndATypeAndThenForConsent)
{
    CNTAdvancedDlg dialog;
    QDialog* shown = dialog.Create(nullptr);
    ASSERT_NE(nullptr, shown);
    EXPECT_EQ("<domain\\user>", dialog.NameEdit()->text().toStdString());
    EXPECT_EQ(CNTAdvancedDlg::kNotChosen, dialog.m_nType);

    dialog.OnAdd(); // the hint counts as a name
    dialog.NameEdit()->clear();
    dialog.GroupButton()->setChecked(true);
    dialog.OnAdd();
    dialog.NameEdit()->setText("CORP\\night");
    ui.answers.push_back(ui::IDNO);
    dialog.OnAdd();
    EXPECT_NE(QDialog::Accepted, shown->result());
    dialog.OnAdd();
    EXPECT_EQ(QDialog::Accepted, shown->result());
    EXPECT_EQ("CORP\\night", dialog.m_strName);
    EXPECT_EQ(CNTAdvancedDlg::kGroup, dialog.m_nType);

    ASSERT_EQ(4u, ui.boxes.size());
    EXPECT_EQ("MemberType must be specified", ui.boxes[0].text);
    EXPECT_EQ("Role Member Name must be specified", ui.boxes[1].text);
    EXPECT_EQ("ZYR Security", ui.boxes[1].caption);
    EXPECT_EQ(ui::MB_OK, ui.boxes[1].style);
    EXPECT_EQ("The Role member is not verified. Do you want to continue", ui.boxes[2].text);
    EXPECT_EQ(ui::MB_ICONWARNING | ui::MB_YESNO, ui.boxes[2].style);
}

TEST_F(RolePagesTest, TheDirectoryClientPageWithoutItsComponents)
{
    CKVTRole& role = *owned;
    role.AppendServerMemberGroup("O=Plant");
    for (int i = 0; i < 256; ++i) {
        role.AppendServerMemberUser("CN=user" + std::to_string(i));
    }
    auto* page = new CNovellMemberPage(0, &role);
    std::unique_ptr<QWidget> widget(page->CreatePage(nullptr));
    QTreeWidget* list = page->MemberList();
    EXPECT_EQ(0, list->topLevelItem(0)->data(0, Qt::UserRole).toInt());
    EXPECT_EQ(1, list->topLevelItem(1)->data(0, Qt::UserRole).toInt());

    page->OnAdd();
    ASSERT_EQ(1u, ui.boxes.size());
    EXPECT_EQ("Exception occured in CNTRoleMemberPage::OnInitDialog", ui.boxes[0].text);
    EXPECT_EQ("Morvel Security Manager", ui.boxes[0].caption);
    EXPECT_EQ(ui::MB_ICONERROR, ui.boxes[0].style);

    list->selectAll();
    list->topLevelItem(0)->setSelected(false);
    page->OnRemove();
    EXPECT_EQ(257, list->topLevelItemCount()) << "256 selected items are not removed";
    EXPECT_EQ(LoadStringAnsi(IDS_DELETE_AT_MOST_255_MEMBERS), ui.boxes.at(1).text);
    list->topLevelItem(1)->setSelected(false);
    page->OnRemove();
    EXPECT_EQ(2, list->topLevelItemCount());

    // A second apply with nothing changed since sends nothing.
    EXPECT_EQ(1, page->Apply());
    EXPECT_EQ(1, page->Apply());
    EXPECT_EQ(1u, Posts().size());
    EXPECT_THAT(MemberNames(role.MemberGroups()), ElementsAre("O=Plant"));
    EXPECT_EQ(1u, role.MemberUsers().size());
    page->Release();
}

// A browser that answers the names it is given, one per browse.
class ScriptedBrowse : public zyr::com::ComObject<IDirectoryClientBrowse> {
public:
    explicit ScriptedBrowse(std::vector<std::u16string>* names) : names_(names) {}
    HRESULT PutBoolProperty(long, bool) override { return S_OK; }
    HRESULT PutLongProperty(long, long) override { return S_OK; }
    HRESULT Browse(bool* result) override
    {
        name_ = names_->empty() ? u"" : names_->front();
        if (!names_->empty()) {
            names_->erase(names_->begin());
        }
        *result = !name_.empty();
        return S_OK;
    }
    HRESULT GetName(std::u16string* name) override
    {
        *name = name_;
        return S_OK;
    }

private:
    std::vector<std::u16string>* names_;
    std::u16string name_;
};

void ScriptBrowse(std::vector<std::u16string>* names)
{
    zyr::com::RegisterClass(CLSID_DirectoryClientBrowse, [names](const IID& iid, void** object) {
        auto* browse = new ScriptedBrowse(names);
        HRESULT hr = browse->QueryInterface(iid, object);
        browse->Release();
        return hr;
    });
}

TEST_F(RolePagesTest, TheDirectoryClientPageAddsDirectoryAccounts)
{
    ZYR_NEEDS_TEST_DIRECTORY();
    ConfigureTestDirectory();
    ASSERT_EQ(S_OK, zyr::audit::RegisterComponentModule(ZYR_DIRECTORY_CLIENT_MODULE));
    std::vector<std::u16string> picks = {u"uid=bob,ou=Line 1,ou=Operators,dc=plant,dc=test", u"Supervisors",
                                         u"*", u"BOB"};
    ScriptBrowse(&picks);
    CKVTRole& role = *owned;
    auto* page = new CNovellMemberPage(0, &role);
    std::unique_ptr<QWidget> widget(page->CreatePage(nullptr));
    for (int i = 0; i < 4; ++i) {
        page->OnAdd();
    }
    const std::string bob = "ou=Line 1,ou=Operators,dc=plant,dc=test\\bob";
    EXPECT_THAT(Items(page->MemberList()),
                ElementsAre("ou=Groups,dc=plant,dc=test\\Supervisors/0", bob + "/1"));
    ASSERT_EQ(1u, ui.boxes.size()) << "a wildcard names no account";
    EXPECT_EQ(CNovellMemberPage::kNotFoundText, ui.boxes[0].text);

    EXPECT_EQ(1, page->Apply());
    ASSERT_EQ(1u, Posts().size());
    const std::string body = Posts()[0].body;
    std::string users, groups;
    size_t groupsAt = body.find("&MemberGroup=");
    ASSERT_TRUE(zyr::cipher::Decrypt(body.substr(11, groupsAt - 11), users));
    ASSERT_TRUE(zyr::cipher::Decrypt(body.substr(groupsAt + 13, body.find('&', groupsAt + 1) - groupsAt - 13),
                                     groups));
    EXPECT_EQ("ou=Line 1,ou=Operators,dc=plant,dc=test\\bob;", users);
    EXPECT_EQ("ou=Groups,dc=plant,dc=test\\Supervisors;", groups);
    page->Release();
}

TEST_F(RolePagesTest, TheDirectoryClientPageSaysWhenTheDirectoryIsUnreachable)
{
    ConfigureTestDirectory("ldap://127.0.0.1:1/");
    ASSERT_EQ(S_OK, zyr::audit::RegisterComponentModule(ZYR_DIRECTORY_CLIENT_MODULE));
    std::vector<std::u16string> picks = {u"alice"};
    ScriptBrowse(&picks);
    auto* page = new CNovellMemberPage(0, owned.get());
    std::unique_ptr<QWidget> widget(page->CreatePage(nullptr));
    page->OnAdd();
    EXPECT_EQ(0, page->MemberList()->topLevelItemCount());
    ASSERT_EQ(1u, ui.boxes.size());
    EXPECT_THAT(ui.boxes[0].text, ::testing::HasSubstr("could not be reached"));
    page->Release();
}

// The account picker lists the name service's accounts: the test runs itself
// again under nss_wrapper with account files of its own.
TEST_F(RolePagesTest, EveryoneAndNameServiceAccountsThroughThePicker)
{
    CKVTRole& role = *owned;
    if (!zyr::test::UnderNssWrapper(registry.Root(),
                                    "dana:x:4101:4101:Dana:/nonexistent:/bin/false\n"
                                    "erik@CORP.EXAMPLE:x:4102:4200:Erik:/nonexistent:/bin/false\n",
                                    "dana:x:4101:\nengineering:x:4200:dana\n")) {
        return;
    }

    role.AppendServerMemberUser("BUILD-07\\dana");
    auto* page = new CNTRoleMemberPage(0, &role);
    std::unique_ptr<QWidget> widget(page->CreatePage(nullptr));
    std::vector<std::string> listed;
    std::vector<std::string> shownAfterSearch;
    QTimer::singleShot(0, [&] {
        auto* picker = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(nullptr, picker);
        auto* accounts = picker->findChild<QTreeWidget*>("accounts");
        auto* search = picker->findChild<QLineEdit*>("search");
        auto* ok = picker->findChild<QPushButton*>("1");
        EXPECT_FALSE(ok->isEnabled()) << "nothing picked yet";
        for (int row = 0; row < accounts->topLevelItemCount(); ++row) {
            listed.push_back(accounts->topLevelItem(row)->text(0).toStdString() + "/" +
                             accounts->topLevelItem(row)->text(1).toStdString());
        }
        search->setText("ENG");
        for (int row = 0; row < accounts->topLevelItemCount(); ++row) {
            if (!accounts->topLevelItem(row)->isHidden()) {
                shownAfterSearch.push_back(accounts->topLevelItem(row)->text(0).toStdString());
            }
        }
        // Down from the search box reaches the list; Enter takes its row
        // with the rows picked before.
        auto press = [search](int key) {
            QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(search, &event);
        };
        search->setText("dana");
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        EXPECT_EQ(accounts->currentItem()->text(1), "User");
        search->clear();
        for (int row = 0; row < accounts->topLevelItemCount(); ++row) {
            const std::string text = accounts->topLevelItem(row)->text(0).toStdString();
            const bool group = accounts->topLevelItem(row)->text(1) == "Group";
            accounts->topLevelItem(row)->setSelected(text == "Everyone" || text == "BUILD-07\\engineering" ||
                                                     text == "CORP.EXAMPLE\\erik" ||
                                                     (group && text == "BUILD-07\\dana"));
        }
        EXPECT_TRUE(ok->isEnabled());
        press(Qt::Key_Return);
    });
    page->OnAdd();
    EXPECT_THAT(listed,
                ElementsAre("Everyone/Well-known group", "BUILD-07\\dana/Group",
                            "BUILD-07\\engineering/Group", "BUILD-07\\dana/User", "CORP.EXAMPLE\\erik/User"));
    EXPECT_THAT(shownAfterSearch, ElementsAre("BUILD-07\\engineering"));
    // Selections go to the top in turn; the user who is a member already
    // stays once, the group of the same name is a member of its own.
    EXPECT_THAT(Items(page->MemberList()), ElementsAre("CORP.EXAMPLE\\erik/3", "BUILD-07\\engineering/1",
                                                       "BUILD-07\\dana/1", "Everyone/0", "BUILD-07\\dana/3"));
    EXPECT_EQ(1, page->Apply());
    EXPECT_THAT(MemberNames(role.MemberGroups()),
                ElementsAre("BUILD-07\\engineering", "BUILD-07\\dana", "Everyone"));
    EXPECT_THAT(MemberNames(role.MemberUsers()), ElementsAre("CORP.EXAMPLE\\erik", "BUILD-07\\dana"));

    // Cancelling adds nothing.
    QTimer::singleShot(0, [] {
        if (auto* picker = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            picker->findChild<QPushButton*>("2")->click();
        }
    });
    page->OnAdd();
    EXPECT_EQ(5, page->MemberList()->topLevelItemCount());
    page->Release();
}

} // namespace
} // namespace zyr::testing
