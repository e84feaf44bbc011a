#include "pages/LoginDlg.h"
#include "common/RequestFrame.h"
#include "console/KVTSnapin.h"
#include "console/framework/StartupHooks.h"
#include "pages/StartupDialogs.h"
#include "platform/ui/UiService.h"
#include "signin/LoginSettings.h"
#include "signin/SignIn.h"
#include "tests/pages/QtTestApp.h"
#include "tests/signin/SigninFixture.h"
#include "tests/signin/directory/DirectoryFixture.h"
#include "tests/support/ScriptedConsole.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace {

using zyr::testing::SigninFixture;
using zyr::testing::TempRegistry;
namespace ui = zyr::ui;

// The next control that the tab key reaches after widget.
QWidget* NextTabStop(QWidget* widget)
{
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) {
        next = next->nextInFocusChain();
    }
    return next;
}

class LoginDlgTest : public SigninFixture {
protected:
    void SetUp() override
    {
        SigninFixture::SetUp();
        zyr::testing::QtTestApp();
    }
    void TearDown() override
    {
        zyr::console::ResetStartupState();
        SigninFixture::TearDown();
    }

    template <typename W>
    W* Control(const char* id)
    {
        return zyr::testing::ChildControl<W>(*dialog.Dialog(), id);
    }
    // Directory-client mode over the test directory, run by user: the role
    // "Supervisors" holds the directory group of that name (which holds
    // "Shift A" and so alice) and the Open permission.
    void UseTestDirectoryAs(const char* user)
    {
        zyr::testing::ConfigureTestDirectory();
        RegisterModule(ZYR_DIRECTORY_CLIENT_MODULE);
        WriteRoleCache({{"Supervisors", {}, {"ou=Groups,dc=plant,dc=test\\Supervisors"}}});
        WriteApplCache(ApplicationsXml("Supervisors:1;"));
        environment["USER"] = user;
    }
    // Types the account (the logon-user box off) and presses OK.
    void SignInAs(const char* domain, const char* user)
    {
        if (Control<QCheckBox>("1148")->isChecked()) {
            Control<QCheckBox>("1148")->click();
        }
        Control<QLineEdit>("1105")->setText(domain);
        Control<QLineEdit>("1005")->setText(user);
        Control<QLineEdit>("1001")->setText("secret");
        Control<QPushButton>("1")->click();
    }
    bool Remembered() const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, zyr::signin::kLoginSettingsKey, 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    ui::ScopedRecordingUi ui;
    CLoginDlg dialog;
};

TEST_F(LoginDlgTest, TheLogonUserBoxTakesTheLoggedOnAccountAndLocksTheEdits)
{
    ASSERT_NE(dialog.Create(), nullptr);
    auto* box = Control<QCheckBox>("1148");
    EXPECT_EQ(Control<QLabel>("342")->text(), "&Domain:");
    // Nothing remembered: the logon user, the edits disabled.
    EXPECT_TRUE(box->isChecked());
    EXPECT_FALSE(Control<QLineEdit>("1005")->isEnabled());
    EXPECT_EQ(Control<QLineEdit>("1005")->text(), "operator");
    EXPECT_EQ(Control<QLineEdit>("1105")->text(), "BUILD-07");

    box->click();
    EXPECT_TRUE(Control<QLineEdit>("1005")->isEnabled());
    EXPECT_TRUE(Control<QLineEdit>("1001")->isEnabled());
    Control<QLineEdit>("1001")->setText("typed");
    Control<QLineEdit>("1005")->setText("jdoe");
    box->click();
    EXPECT_FALSE(Control<QLineEdit>("1105")->isEnabled());
    EXPECT_EQ(Control<QLineEdit>("1001")->text(), "") << "the password is emptied";
    EXPECT_EQ(Control<QLineEdit>("1005")->text(), "operator");

    // Tab order: user name, password, domain, check box, OK, Cancel.
    EXPECT_EQ(NextTabStop(Control<QLineEdit>("1005")), Control<QLineEdit>("1001"));
    EXPECT_EQ(NextTabStop(Control<QLineEdit>("1001")), Control<QLineEdit>("1105"));
    EXPECT_EQ(NextTabStop(Control<QLineEdit>("1105")), box);
    EXPECT_EQ(NextTabStop(box), Control<QPushButton>("1"));
    EXPECT_EQ(NextTabStop(Control<QPushButton>("1")), Control<QPushButton>("2"));
    EXPECT_EQ(Control<QLineEdit>("1001")->echoMode(), QLineEdit::Password);
}

TEST_F(LoginDlgTest, ADirectoryClientSignsInWithItsContext)
{
    TempRegistry::SetDword(HKEY_LOCAL_MACHINE, zyr::testing::kClientKey, "NovellClient", 1);
    zyr::ResetServerSettings();
    ASSERT_NE(dialog.Create(), nullptr);
    EXPECT_EQ(Control<QLabel>("342")->text(), "&Context:");
    Control<QCheckBox>("1148")->click();
    EXPECT_TRUE(Control<QCheckBox>("1148")->isChecked()) << "cannot be turned off";
    EXPECT_FALSE(Control<QLineEdit>("1005")->isEnabled());
}

// Over the test directory: the operator and its groups come from the
// directory; a nested group of a role lets alice in, bob holds no role.
TEST_F(LoginDlgTest, ADirectoryOperatorSignsInThroughItsDirectoryGroups)
{
    ZYR_NEEDS_TEST_DIRECTORY();
    UseTestDirectoryAs("alice");
    ASSERT_NE(dialog.Create(), nullptr);
    EXPECT_EQ(Control<QLineEdit>("1005")->text(), "alice");
    EXPECT_EQ(Control<QLineEdit>("1105")->text(), "ou=Operators,dc=plant,dc=test");
    Control<QPushButton>("1")->click();
    EXPECT_TRUE(ui.recorder.boxes.empty());
    EXPECT_EQ(dialog.Dialog()->result(), QDialog::Accepted);
}

TEST_F(LoginDlgTest, ADirectoryOperatorWithoutTheRoleIsRefused)
{
    ZYR_NEEDS_TEST_DIRECTORY();
    UseTestDirectoryAs("bob");
    ASSERT_NE(dialog.Create(), nullptr);
    Control<QPushButton>("1")->click();
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text,
              "You don't have the permission to open the ZYR Security Manager or the "
              "ZYR Security Manager initialization failed.");
    EXPECT_NE(dialog.Dialog()->result(), QDialog::Accepted);
}

TEST_F(LoginDlgTest, RefusalsShowTheirMessageOverTheDialogWhichStaysOpen)
{
    ASSERT_NE(dialog.Create(), nullptr);
    SignInAs("", "jdoe");
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, "Invalid Entry.  Please enter again.");
    EXPECT_EQ(ui.recorder.boxes[0].caption, "ZYR Security Manager");
    EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONINFORMATION);
    EXPECT_EQ(ui.recorder.boxes[0].owner, dialog.Dialog());
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_NE(dialog.Dialog()->result(), QDialog::Accepted);

    // A server that does not answer: named by its host; nothing remembered.
    TempRegistry::SetText(HKEY_LOCAL_MACHINE, zyr::testing::kFrameworkKey, "URL",
                          "http://localhost:1/zyr/sec.asp");
    zyr::ResetServerSettings();
    Control<QCheckBox>("1148")->click(); // the logon user: accepted as it is
    Control<QPushButton>("1")->click();
    ASSERT_EQ(ui.recorder.boxes.size(), 2u);
    EXPECT_EQ(ui.recorder.boxes[1].text,
              "Could not connect to ZYR Security Server \"localhost\" via HTTP with "
              "the URL : http://localhost:1/zyr/sec.asp");
    EXPECT_EQ(ui.recorder.boxes[1].style, ui::MB_ICONERROR);
    EXPECT_FALSE(Remembered());
    EXPECT_NE(dialog.Dialog()->result(), QDialog::Accepted);
}

TEST_F(LoginDlgTest, ARefusedOperatorIsRememberedAndMayTryAgain)
{
    WriteRoleCache({{"Security Administrators", {"BUILD-07\\someone-else"}, {}}});
    WriteApplCache(ApplicationsXml("Security Administrators:1;"));
    ASSERT_NE(dialog.Create(), nullptr);
    Control<QPushButton>("1")->click();
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, zyr::signin::kRefusedMessage);
    EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONERROR);
    EXPECT_NE(dialog.Dialog()->result(), QDialog::Accepted);
    // Past the connection test the sign-in is remembered, granted or not.
    zyr::signin::LoginFields remembered;
    EXPECT_EQ(zyr::signin::LoadLoginSettings(remembered), S_OK);
    EXPECT_EQ(remembered.useLogonUser, 1);
    EXPECT_EQ(remembered.userName.view(), "operator");

    // Granted on the next try: the dialog ends with OK, without a message.
    WriteRoleCache({{"Security Administrators", {"BUILD-07\\operator"}, {}}});
    zyr::cache::ResetCacheFiles();
    Control<QPushButton>("1")->click();
    EXPECT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(dialog.Dialog()->result(), QDialog::Accepted);
    EXPECT_EQ(zyr::PeekCurrentUserName(), "BUILD-07\\operator");
}

TEST_F(LoginDlgTest, AnUnsecuredConsoleOpensAfterItsWarning)
{
    WriteRoleCache({});
    WriteApplCache(ApplicationsXml("", false));
    ASSERT_NE(dialog.Create(), nullptr);
    Control<QPushButton>("1")->click();
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, zyr::signin::kNotSecuredMessage);
    EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONWARNING);
    EXPECT_EQ(dialog.Dialog()->result(), QDialog::Accepted);
}

TEST_F(LoginDlgTest, CancellingTheSignInLeavesTheTreeEmpty)
{
    struct Steps : zyr::pages::StartupDialogs {
        void LoadRoles() override { rolesLoaded = true; }
        bool rolesLoaded = false;
    } hooks;
    zyr::console::SetStartupHooks(&hooks);

    auto scripted =
        zyr::com::ComPtr<zyr::testing::ScriptedConsole>::Attach(new zyr::testing::ScriptedConsole);
    scripted->mainWindow = nullptr;
    auto snapin = zyr::com::ComPtr<CKVTSnapin>::Attach(new CKVTSnapin);
    zyr::testing::ClickInNextModal("2");
    EXPECT_EQ(snapin->Initialize(static_cast<IConsole*>(scripted.get())), S_FALSE);
    EXPECT_FALSE(hooks.rolesLoaded);
    EXPECT_FALSE(zyr::console::IsSignedIn());
    EXPECT_TRUE(scripted->strips.empty());
    EXPECT_TRUE(snapin->RootNode()->m_children.empty());
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_TRUE(ui.recorder.boxes.empty());
}

} // namespace
