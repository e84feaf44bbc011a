#include "pages/AccessPages.h"

#include "common/StringTable.h"
#include "records/AclEditing.h"
#include "records/ConsoleAccess.h"
#include "tests/pages/ApplicationPagesFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeWidget>

namespace {

namespace ui = zyr::ui;
using zyr::testing::RecordingSheetSite;

class AccessPagesTest : public zyr::testing::ApplicationPagesFixture {
protected:
    // The roles, and the application whose list grants some of them.
    void MakeGrantingApplication(std::initializer_list<const char*> roles,
                                 std::initializer_list<std::pair<const char*, uint32_t>> grants)
    {
        MakeRoles(roles);
        MakeApplication();
        for (const auto& [role, mask] : grants) {
            application->ACL.emplace_back(role, mask);
        }
    }

    template <typename Page>
    QWidget* Open(Page& page, RecordingSheetSite* site = nullptr)
    {
        widget.reset(
            static_cast<QWidget*>(static_cast<IPropertyPage&>(page).CreatePageWindow(nullptr, site)));
        return widget.get();
    }

    static std::vector<bool> Checks(zyr::pages::AccessPanel& panel)
    {
        std::vector<bool> checks;
        QTreeWidget* list = panel.PermissionList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            checks.push_back(list->topLevelItem(i)->checkState(0) == Qt::Checked);
        }
        return checks;
    }
    static void Check(zyr::pages::AccessPanel& panel, int row, bool on)
    {
        panel.PermissionList()->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    static int RoleIndex(zyr::pages::AccessPanel& panel, const char* role)
    {
        return panel.RoleCombo()->findText(role);
    }

    std::unique_ptr<QWidget> widget;
};

TEST(AccessIdTextTest, BracesAreDroppedFromAGuidIdentity)
{
    EXPECT_EQ(zyr::pages::AccessIdText("{0A1B2C3D-0000-4000-8000-00000000ABCD}"),
              "KVT0A1B2C3D-0000-4000-8000-00000000ABCD");
    EXPECT_EQ(zyr::pages::AccessIdText("Plant_Ops.Line_1"), "KVTPlant_Ops.Line_1");
    EXPECT_EQ(zyr::pages::AccessIdText("{"), "KVT");
}

TEST_F(AccessPagesTest, ApplicationPageShowsTheRecordAndEveryRoleWithItsMask)
{
    MakeGrantingApplication({"Operators", "administrators", "Engineers"},
                            {{"ADMINISTRATORS", 0x7}, {"Engineers", 0x2}});
    CApplPage page(kNotifyHandle, application.get());
    Open(page);
    auto& panel = page.Panel();

    EXPECT_EQ(widget->objectName(), "222");
    EXPECT_EQ(panel.NameEdit()->objectName(), "253");
    EXPECT_EQ(panel.NameEdit()->text(), "Plant Ops");
    EXPECT_TRUE(panel.NameEdit()->isReadOnly());
    EXPECT_EQ(panel.IdEdit()->text(), "KVT0A1B2C3D-0000-4000-8000-00000000ABCD");
    EXPECT_EQ(panel.DescriptionEdit()->text(), "Line control");
    EXPECT_EQ(panel.DescriptionEdit()->maxLength(), 255);

    // Sorted without regard to case, each with the mask its entry grants.
    QComboBox* combo = panel.RoleCombo();
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "administrators");
    EXPECT_EQ(combo->itemText(1), "Engineers");
    EXPECT_EQ(combo->itemText(2), "Operators");
    EXPECT_EQ(panel.RoleNumber(0), 0x7u);
    EXPECT_EQ(panel.RoleNumber(1), 0x2u);
    EXPECT_EQ(panel.RoleNumber(2), 0u);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(panel.CurrentRole(), "administrators");
    EXPECT_EQ(Checks(panel), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(panel.PermissionList()->topLevelItem(1)->text(1), "0x00000002");
}

TEST_F(AccessPagesTest, ApplyingSendsTheDescriptionAndTheChangedRolesAsAuditText)
{
    MakeGrantingApplication({"Operators", "Engineers", "Guests"}, {{"Operators", 0x1}, {"Guests", 0x2}});
    CApplPage page(kNotifyHandle, application.get());
    Open(page);
    auto& panel = page.Panel();

    // Engineers (shown first) get Read and Execute, Operators lose Read.
    panel.DescriptionEdit()->setText("Line 2 & 3 control");
    Check(panel, 0, true);
    Check(panel, 2, true);
    panel.RoleCombo()->setCurrentIndex(RoleIndex(panel, "Operators"));
    Check(panel, 0, false);
    EXPECT_EQ(page.Apply(), 1);

    auto updates = Updates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].query.rfind("?Object=Appl&Operation=Update&CN=Plant%20Ops&DN=", 0), 0u);
    EXPECT_EQ(updates[0].oldValues,
              "<OldValue><Description><Value>Line control</Value></Description>"
              "<ACE><Value>Engineers:</Value><Value>Operators:Read</Value></ACE></OldValue>");
    EXPECT_EQ(updates[0].newValues,
              "<NewValue><Description><Value>Line 2 &amp; 3 control</Value></Description>"
              "<ACE><Value>Engineers:Read,Execute</Value><Value>Operators:</Value></ACE></NewValue>");
    EXPECT_EQ(updates[0].acl, "Operators:0;Guests:2;Engineers:5;");
    EXPECT_EQ(application->Description.view(), "Line 2 & 3 control");
    EXPECT_EQ(changeReports(), (std::vector<LPARAM>{reinterpret_cast<LPARAM>(application.get())}));

    // The combo now remembers the sent masks: a second apply sends nothing.
    EXPECT_EQ(page.Apply(), 1);
    EXPECT_EQ(Updates().size(), 1u);
}

TEST_F(AccessPagesTest, SwitchingRolesKeepsTheMarksOfTheRoleLeft)
{
    MakeGrantingApplication({"Alpha", "Beta"}, {{"Beta", 0x4}});
    CApplPage page(kNotifyHandle, application.get());
    RecordingSheetSite site;
    Open(page, &site);
    auto& panel = page.Panel();
    ASSERT_EQ(panel.CurrentRole(), "Alpha");
    EXPECT_EQ(Checks(panel), (std::vector<bool>{false, false, false}));

    EXPECT_EQ(site.changed, 0) << "the application page is not changed by filling";
    Check(panel, 1, true);
    EXPECT_EQ(site.changed, 1) << "a check mark changes the page";
    panel.RoleCombo()->setCurrentIndex(1);
    EXPECT_EQ(site.changed, 1) << "showing another role is no change";
    EXPECT_EQ(panel.CurrentRole(), "Beta");
    EXPECT_EQ(Checks(panel), (std::vector<bool>{false, false, true}));
    // The marks of Alpha went into the record at once.
    EXPECT_EQ(zyr::records::RoleMask(application->ACL, "Alpha"), 0x2u);

    panel.RoleCombo()->setCurrentIndex(0);
    EXPECT_EQ(Checks(panel), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(page.Apply(), 1);
    auto updates = Updates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].oldValues, "<OldValue><ACE><Value>Alpha:</Value></ACE></OldValue>");
    EXPECT_EQ(updates[0].newValues, "<NewValue><ACE><Value>Alpha:Write</Value></ACE></NewValue>");
}

TEST_F(AccessPagesTest, WithoutRolesTheApplyIsRefusedAndChangesNothing)
{
    roles = std::make_unique<CKVTRoleList>();
    MakeApplication();
    CApplPage page(kNotifyHandle, application.get());
    Open(page);
    auto& panel = page.Panel();
    EXPECT_EQ(panel.RoleCombo()->count(), 0);
    EXPECT_EQ(Checks(panel), (std::vector<bool>{false, false, false}));

    panel.DescriptionEdit()->setText("Changed");
    EXPECT_EQ(page.Apply(), 0);
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, zyr::LoadStringAnsi(zyr::IDS_INVALID_ROLE));
    EXPECT_EQ(ui.recorder.boxes[0].caption, "ZYR Security Manager");
    EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONERROR);
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(application->Description.view(), "Line control") << "a refused apply leaves the record";
    EXPECT_TRUE(changeReports().empty());
}

TEST_F(AccessPagesTest, RefusedDescriptionsAndAnUnusableAuditTrailSendNothing)
{
    MakeRoles({"Operators"});
    MakeApplication();
    CApplPage page(kNotifyHandle, application.get());
    Open(page);
    auto& panel = page.Panel();

    panel.DescriptionEdit()->setText("Line|control");
    EXPECT_EQ(page.Apply(), 0);
    ASSERT_EQ(ui.recorder.boxes.size(), 1u) << "the reserved-character message";
    EXPECT_EQ(application->Description.view(), "Line control");

    panel.DescriptionEdit()->setText("Line two");
    Check(panel, 0, true);
    zyr::console::SetAuditCheck([] { return true; });
    EXPECT_EQ(page.Apply(), 0);
    ASSERT_EQ(ui.recorder.boxes.size(), 2u);
    EXPECT_EQ(ui.recorder.boxes[1].text, zyr::LoadStringAnsi(zyr::IDS_AUDIT_COMPONENTS_MISSING));
    EXPECT_EQ(ui.recorder.boxes[1].owner, nullptr);
    EXPECT_EQ(application->Description.view(), "Line control");
    EXPECT_TRUE(application->ACL.empty());
    EXPECT_EQ(server.RequestCount(), 0u);

    // Once the trail works again the whole change goes out in one text.
    zyr::console::SetAuditCheck([] { return false; });
    EXPECT_EQ(page.Apply(), 1);
    auto updates = Updates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].newValues, "<NewValue><Description><Value>Line two</Value></Description>"
                                    "<ACE><Value>Operators:Read</Value></ACE></NewValue>");
}

TEST_F(AccessPagesTest, GroupAndObjectPagesOfferTheApplicationsPermissions)
{
    MakeRoles({"Operators"});
    MakeApplication();
    application->Permissions.emplace_back("Calibrate", "0x00000010");
    Group().ACL.emplace_back("operators", 0x10);
    Object().UseQ = 1;
    Object().Qualifier().QName.Assign("Level");

    CGroupPage groupPage(kNotifyHandle, application.get(), &Group());
    RecordingSheetSite groupSite;
    Open(groupPage, &groupSite);
    EXPECT_EQ(widget->objectName(), "223");
    EXPECT_EQ(groupPage.Panel().IdEdit()->text(), "KVTPlant_Ops.Line_1");
    EXPECT_EQ(Checks(groupPage.Panel()), (std::vector<bool>{false, false, false, true}));
    static_cast<IPropertyPage&>(groupPage).OnSetActive();
    EXPECT_EQ(groupSite.changed, 0) << "neither filling nor showing the page changes it";
    Check(groupPage.Panel(), 0, true);
    EXPECT_EQ(groupSite.changed, 1);
    EXPECT_EQ(groupPage.Apply(), 1);

    CApplSecObjPage objectPage(kNotifyHandle, application.get(), &Object());
    Open(objectPage);
    EXPECT_EQ(widget->objectName(), "268");
    EXPECT_EQ(objectPage.Panel().DescriptionEdit()->objectName(), "231");
    EXPECT_EQ(objectPage.Panel().DescriptionEdit()->maxLength(), 1024);
    EXPECT_EQ(objectPage.Panel().PermissionList()->topLevelItemCount(), 4);
    Check(objectPage.Panel(), 3, true);
    EXPECT_EQ(objectPage.Apply(), 1);
    EXPECT_EQ(Object().UseQ, 0) << "the page has no qualifier controls";
    EXPECT_EQ(Object().QualifierOrEmpty().QName.view(), "Level");

    auto updates = Updates();
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[0].query.rfind("?Object=SecGroup&Operation=Update&", 0), 0u);
    EXPECT_EQ(updates[0].oldValues, "<OldValue><ACE><Value>Operators:Calibrate</Value></ACE></OldValue>");
    EXPECT_EQ(updates[0].newValues,
              "<NewValue><ACE><Value>Operators:Read,Calibrate</Value></ACE></NewValue>");
    EXPECT_EQ(updates[0].acl, "operators:17;");
    EXPECT_EQ(updates[1].query.rfind("?Object=SecObj&Operation=Update&", 0), 0u);
    EXPECT_NE(updates[1].query.find("&UseQ=0&"), std::string::npos);
    EXPECT_EQ(updates[1].newValues, "<NewValue><ACE><Value>Operators:Calibrate</Value></ACE></NewValue>");
    EXPECT_EQ(changeReports(),
              (std::vector<LPARAM>{reinterpret_cast<LPARAM>(&Group()), reinterpret_cast<LPARAM>(&Object())}));
}

TEST_F(AccessPagesTest, TakingOpenFromTheLastGrantOnTheConsoleObjectIsRefusedBeforeSending)
{
    MakeRoles({"Admins"});
    roles->Roles().front()->AddMemberUser("PLANT\\op");
    CKVTApplList list;
    CKVTAppl& console = list.Append(std::make_unique<CKVTAppl>("Morvel Framework", "", true));
    console.Groups.push_back(
        std::make_unique<CKVTSecGroup>("Security Manager", "Morvel Framework", "{A}", ""));
    console.Groups.back()->Objects.push_back(
        std::make_unique<CKVTApplSecObj>("ZyrSnap-In", "{G}", "{A}", ""));
    CKVTApplSecObj& object = *console.Groups.back()->Objects.back();
    object.ACL.emplace_back("Admins", 1);

    CApplSecObjPage page(kNotifyHandle, &console, &object);
    Open(page);
    Check(page.Panel(), 0, false); // Read, bit 1, off for Admins
    EXPECT_EQ(page.Apply(), 0);
    EXPECT_TRUE(Updates().empty());
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, zyr::records::kLockoutMessage);
    EXPECT_EQ(object.ACL.front().Mask, 1u);
}

TEST_F(AccessPagesTest, TheObjectDescriptionWarnsAtItsLimit)
{
    MakeRoles({"Operators"});
    MakeApplication();
    CApplSecObjPage page(kNotifyHandle, application.get(), &Object());
    Open(page);
    QLineEdit* description = page.Panel().DescriptionEdit();
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
    QApplication::sendEvent(description, &typed);
    EXPECT_TRUE(ui.recorder.boxes.empty());
    description->setText(QString(1024, 'a'));
    QApplication::sendEvent(description, &typed);
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, "Only 255 characters are allowed.");
    EXPECT_EQ(ui.recorder.boxes[0].owner, widget.get());
}

TEST_F(AccessPagesTest, ACheckedPermissionWithALongNameIsKept)
{
    MakeRoles({"Operators"});
    MakeApplication();
    const std::string longName = "Acknowledge alarms of the whole production line";
    application->Permissions.emplace_back(longName, "0x00000008");
    CApplPage page(kNotifyHandle, application.get());
    Open(page);
    Check(page.Panel(), 3, true);
    EXPECT_EQ(page.Apply(), 1);
    EXPECT_EQ(zyr::records::RoleMask(application->ACL, "Operators"), 0x8u);
    auto updates = Updates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].newValues,
              "<NewValue><ACE><Value>Operators:" + longName + "</Value></ACE></NewValue>");
}

} // namespace
