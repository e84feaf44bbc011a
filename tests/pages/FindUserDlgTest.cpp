#include "pages/FindUserDlg.h"
#include "platform/ui/UiService.h"
#include "records/Application.h"
#include "roles/RoleList.h"
#include "signin/components/AuthInterfaces.h"
#include "tests/pages/QtTestApp.h"
#include "tests/signin/SigninFixture.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace {

namespace ui = zyr::ui;

class FindUserDlgTest : public zyr::testing::SigninFixture {
protected:
    void SetUp() override
    {
        SigninFixture::SetUp();
        zyr::testing::QtTestApp();
        ASSERT_NE(dialog.Create(), nullptr);
    }

    template <typename W>
    W* Control(const char* id)
    {
        return zyr::testing::ChildControl<W>(*dialog.Dialog(), id);
    }
    void Query(const char* user, const char* domain)
    {
        Control<QLineEdit>("389")->setText(user);
        Control<QLineEdit>("390")->setText(domain);
        Control<QPushButton>("9")->click();
    }
    QStringList Listed()
    {
        QStringList names;
        auto* list = Control<QTreeWidget>("391");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            names << list->topLevelItem(i)->text(0);
        }
        return names;
    }

    ui::ScopedRecordingUi ui;
    FindUserDlg dialog;
};

TEST_F(FindUserDlgTest, TheAccountsRolesAreListedWithTheirCount)
{
    auto* list = Control<QTreeWidget>("391");
    EXPECT_EQ(list->headerItem()->text(0), "Role Name");
    EXPECT_EQ(list->columnWidth(0), 206);
    EXPECT_EQ(Control<QLabel>("392")->text(), "");

    WriteRoleCache(
        {{"Operators", {"CORP\\jdoe"}, {}}, {"Guests", {}, {}}, {"Engineers", {"CORP\\jdoe"}, {}}});
    Query("jdoe", "CORP");
    EXPECT_TRUE(ui.recorder.boxes.empty());
    EXPECT_EQ(Listed(), (QStringList{"Operators", "Engineers"}));
    EXPECT_EQ(Control<QLabel>("392")->text(), "Number of Roles :  2");

    // Both empty: the account signed in to the computer, shown in the edits.
    WriteRoleCache({{"Operators", {"BUILD-07\\operator"}, {}}});
    zyr::cache::ResetCacheFiles();
    Query("", "");
    EXPECT_EQ(Control<QLineEdit>("389")->text(), "operator");
    EXPECT_EQ(Control<QLineEdit>("390")->text(), "BUILD-07");
    EXPECT_EQ(Listed(), (QStringList{"Operators"}));
}

TEST_F(FindUserDlgTest, TheEffectiveAccessTabShowsWhatTheRolesGrantWhere)
{
    CKVTApplList applications;
    auto& plant = applications.Append(std::make_unique<CKVTAppl>("Plant", "", false));
    plant.Permissions = {PermissionEntry("Read", "0x00000001"), PermissionEntry("Write", "0x00000002")};
    plant.ACL = {AccessEntry("Operators", 1), AccessEntry("Engineers", 3)};
    CKVTRoleList roles;
    roles.Append(std::make_unique<CKVTRole>("Operators", "")).AddMemberUser("CORP\\jdoe");
    roles.Append(std::make_unique<CKVTRole>("Engineers", "")).AddMemberUser("CORP\\other");
    WriteRoleCache({{"Operators", {"CORP\\jdoe"}, {}}});
    Query("jdoe", "CORP");
    auto* access = Control<QTreeWidget>("EffectiveAccess");
    ASSERT_EQ(access->topLevelItemCount(), 1);
    EXPECT_EQ(access->topLevelItem(0)->text(0), "Plant (application)");
    ASSERT_EQ(access->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(access->topLevelItem(0)->child(0)->text(1), "Read");
    EXPECT_EQ(access->topLevelItem(0)->child(0)->text(2), "Operators");
}

TEST_F(FindUserDlgTest, IncompleteAccountsAndFailedQueriesLeaveTheListEmpty)
{
    WriteRoleCache({{"Operators", {"CORP\\jdoe"}, {}}});
    Query("jdoe", "CORP");
    ASSERT_EQ(Listed().size(), 1);

    Query("", "CORP");
    Query("jdoe", "");
    zyr::com::ResetClassTable();
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + zyr::com::GuidToString(CLSID_KvtAuthorize)).c_str());
    Query("jdoe", "CORP");
    ASSERT_EQ(ui.recorder.boxes.size(), 3u);
    EXPECT_EQ(ui.recorder.boxes[0].text, "Please enter an User Name");
    EXPECT_EQ(ui.recorder.boxes[1].text, "Please enter a Domain Name");
    EXPECT_EQ(ui.recorder.boxes[2].text, "Exception occured while getting UserRoles");
    for (const auto& box : ui.recorder.boxes) {
        EXPECT_EQ(box.style, ui::MB_ICONERROR);
        EXPECT_EQ(box.caption, "ZYR Security Manager");
        EXPECT_EQ(box.owner, dialog.Dialog());
    }
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_EQ(Control<QLabel>("392")->text(), "");
}

} // namespace
