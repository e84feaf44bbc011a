// The directory browser over the test directory, offscreen.
#include "pages/DirectoryBrowseDlg.h"
#include "tests/pages/QtTestApp.h"
#include "tests/signin/directory/DirectoryFixture.h"

#include <gmock/gmock.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace zyr::testing;
using zyr::directory::LdapDirectory;
using zyr::pages::DirectoryBrowseDlg;

namespace {

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& name)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == name) {
            return parent->child(i);
        }
    }
    return nullptr;
}

class DirectoryBrowseDlgTest : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        QtTestApp();
    }
};

TEST_F(DirectoryBrowseDlgTest, TreeOpensOnDemandAndPicksOnlyWhatMayBePicked)
{
    ZYR_NEEDS_TEST_DIRECTORY();
    ConfigureTestDirectory();
    std::string error;
    DirectoryBrowseDlg dialog(LdapDirectory::Open(error), error, DirectoryBrowseDlg::kGroups);
    QTreeWidgetItem* root = dialog.Tree()->topLevelItem(0);
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(2, root->childCount()) << "the base is opened";
    QTreeWidgetItem* operators = Child(root, "Operators");
    ASSERT_NE(nullptr, operators);
    EXPECT_EQ(0, operators->childCount()) << "read when opened";
    operators->setExpanded(true);
    QTreeWidgetItem* alice = Child(operators, "alice");
    ASSERT_NE(nullptr, alice);
    dialog.Tree()->setCurrentItem(alice);
    EXPECT_FALSE(dialog.OkButton()->isEnabled()) << "only groups may be picked";

    dialog.SearchEdit()->setText("Super");
    dialog.OnSearch();
    ASSERT_EQ(1, dialog.Tree()->topLevelItemCount());
    dialog.Tree()->setCurrentItem(dialog.Tree()->topLevelItem(0));
    ASSERT_TRUE(dialog.OkButton()->isEnabled());
    dialog.OkButton()->click();
    EXPECT_EQ(QDialog::Accepted, dialog.result());
    EXPECT_EQ("cn=Supervisors,ou=Groups,dc=plant,dc=test", dialog.PickedDn());
}

TEST_F(DirectoryBrowseDlgTest, AnUnreachableDirectoryIsSaidAndNothingCanBePicked)
{
    ConfigureTestDirectory("ldap://127.0.0.1:1/");
    std::string error;
    DirectoryBrowseDlg dialog(LdapDirectory::Open(error), error, DirectoryBrowseDlg::kUsers);
    EXPECT_THAT(dialog.Status()->text().toStdString(), ::testing::HasSubstr("could not be reached"));
    EXPECT_EQ(0, dialog.Tree()->topLevelItemCount());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
}

} // namespace
