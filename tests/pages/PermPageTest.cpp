#include "pages/PermPage.h"

#include "common/StringTable.h"
#include "records/AclEditing.h"
#include "tests/pages/ApplicationPagesFixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

namespace {

namespace ui = zyr::ui;

class PermPageTest : public zyr::testing::ApplicationPagesFixture {
protected:
    void SetUp() override
    {
        ApplicationPagesFixture::SetUp();
        MakeRoles({"Operators"});
        MakeApplication();
    }

    void Open()
    {
        page = std::make_unique<CPermPage>(kNotifyHandle, application.get());
        widget.reset(page->CreatePage(nullptr));
    }
    void Select(int row)
    {
        page->PermissionList()->setCurrentItem(page->PermissionList()->topLevelItem(row));
    }
    std::vector<std::string> Items() const
    {
        std::vector<std::string> items;
        QTreeWidget* list = page->PermissionList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            items.push_back(
                (list->topLevelItem(i)->text(0) + ":" + list->topLevelItem(i)->text(1)).toStdString());
        }
        return items;
    }
    int Offered(const char* value) const { return page->ValueCombo()->findText(value); }

    std::unique_ptr<CPermPage> page;
    std::unique_ptr<QWidget> widget;
};

TEST_F(PermPageTest, TheValueComboOffersTheFreeBitsInOrder)
{
    application->Permissions.emplace_back("Calibrate", "0x00000400");
    Open();
    EXPECT_EQ(widget->objectName(), "271");
    EXPECT_EQ(page->PermissionList()->objectName(), "291");
    EXPECT_EQ(page->NameEdit()->maxLength(), 255);
    QComboBox* values = page->ValueCombo();
    ASSERT_EQ(values->count(), 27);
    EXPECT_EQ(values->currentText(), "0x00000008");
    EXPECT_EQ(values->itemText(1), "0x00000010");
    EXPECT_EQ(values->itemText(26), "0x40000000");
    EXPECT_EQ(Offered("0x00000400"), -1);
    EXPECT_EQ(Offered("0x80000000"), -1) << "bit 31 is never offered";
    for (int i = 1; i < values->count(); ++i) {
        EXPECT_LT(zyr::records::PermissionBits(values->itemText(i - 1).toStdString()),
                  zyr::records::PermissionBits(values->itemText(i).toStdString()));
    }
}

TEST_F(PermPageTest, AddTakesTheChosenBitAndRefusesDuplicateAndEmptyNames)
{
    Open();
    page->OnAdd();
    EXPECT_EQ(Items().size(), 3u) << "an empty name adds nothing";
    EXPECT_TRUE(ui.recorder.boxes.empty());

    page->NameEdit()->setText("write");
    page->OnAdd();
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, "Permission 'write' Already Exists. Please use another Name.");
    EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONINFORMATION);

    page->NameEdit()->setText("Calibrate");
    page->ValueCombo()->setCurrentIndex(Offered("0x00000100"));
    page->OnAdd();
    EXPECT_EQ(Items().back(), "Calibrate:0x00000100");
    EXPECT_EQ(Offered("0x00000100"), -1);
    EXPECT_EQ(page->ValueCombo()->currentIndex(), 0);
}

TEST_F(PermPageTest, WithEveryBitInUseAddIsRefusedWithTheLimitMessage)
{
    for (int bit = 3; bit < CPermPage::kOfferedBits; ++bit) {
        application->Permissions.emplace_back("P" + std::to_string(bit),
                                              zyr::records::PermissionValueText(1u << bit));
    }
    Open();
    EXPECT_EQ(page->ValueCombo()->count(), 0);
    page->NameEdit()->setText("One more");
    page->OnAdd();
    EXPECT_EQ(Items().size(), 31u);
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, "Maximum of 32 permissions are allowed.");
    EXPECT_EQ(ui.recorder.boxes[0].caption, "ZYR Security Manager");
    EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONINFORMATION);

    // Update without a free bit renames and keeps the bit.
    Select(1);
    page->NameEdit()->setText("Modify");
    page->OnUpdate();
    EXPECT_EQ(Items()[1], "Modify:0x00000002");
}

TEST_F(PermPageTest, RenamingWriteSendsTheOldAndNewPermissionTexts)
{
    Open();
    Select(1);
    page->NameEdit()->setText("Modify");
    page->ValueCombo()->setCurrentIndex(Offered("0x00000020"));
    page->OnUpdate();
    EXPECT_EQ(Items(),
              (std::vector<std::string>{"Read:0x00000001", "Modify:0x00000020", "Execute:0x00000004"}));
    EXPECT_GE(Offered("0x00000002"), 0) << "the bit left is offered again";
    EXPECT_EQ(Offered("0x00000020"), -1);

    EXPECT_EQ(page->Apply(), 1);
    auto updates = Updates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].oldValues,
              "<OldValue><PermNamesList><Value>Write:0x00000002</Value></PermNamesList></OldValue>");
    EXPECT_EQ(updates[0].newValues,
              "<NewValue><PermNamesList><Value>Modify:0x00000020</Value></PermNamesList></NewValue>");
    EXPECT_NE(updates[0].query.find("&Perm="), std::string::npos);
    ASSERT_EQ(application->Permissions.size(), 3u);
    EXPECT_EQ(application->Permissions[1].Name.view(), "Modify");
    EXPECT_EQ(application->Permissions[1].Value.view(), "0x00000020");
    EXPECT_EQ(changeReports(), (std::vector<LPARAM>{reinterpret_cast<LPARAM>(application.get())}));
}

TEST_F(PermPageTest, DeleteAsksOnlyWhenAGroupOrObjectGrantsTheBit)
{
    Group().ACL.emplace_back("Operators", 0x3);
    application->ACL.emplace_back("Operators", 0x4);
    Open();

    // Write is granted by the group: asked, No keeps it.
    ui.recorder.answers.push_back(ui::IDNO);
    Select(1);
    page->OnDelete();
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, CPermPage::kDeleteWarning);
    EXPECT_EQ(ui.recorder.boxes[0].caption, "ZYR Security");
    EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONWARNING | ui::MB_YESNO);
    EXPECT_EQ(Items().size(), 3u);

    // Execute is granted only in the application's own list: no question.
    Select(2);
    page->OnDelete();
    EXPECT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(Items(), (std::vector<std::string>{"Read:0x00000001", "Write:0x00000002"}));
    EXPECT_EQ(page->ValueCombo()->itemText(0), "0x00000004");

    // An object's grant asks too; Yes deletes.
    Group().ACL.clear();
    Object().ACL.emplace_back("Operators", 0x1);
    Select(0);
    page->OnDelete();
    EXPECT_EQ(ui.recorder.boxes.size(), 2u);
    EXPECT_EQ(Items(), (std::vector<std::string>{"Write:0x00000002"}));

    // Nothing changes in the application until the apply.
    EXPECT_EQ(application->Permissions.size(), 3u);
    EXPECT_EQ(page->Apply(), 1);
    auto updates = Updates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].oldValues, "<OldValue><PermNamesList><Value>Read:0x00000001</Value>"
                                    "<Value>Execute:0x00000004</Value></PermNamesList></OldValue>");
    EXPECT_EQ(updates[0].newValues, "<NewValue><PermNamesList></PermNamesList></NewValue>");
}

TEST_F(PermPageTest, ABitStillHeldByAnotherPermissionIsNotOfferedAgain)
{
    application->Permissions.emplace_back("Write twice", "0x00000002");
    application->Permissions.emplace_back("Everything", "0x80000000");
    Open();
    Select(1);
    page->OnDelete();
    EXPECT_EQ(Offered("0x00000002"), -1) << "Write twice still holds the bit";
    Select(3);
    page->OnDelete();
    EXPECT_EQ(Offered("0x80000000"), -1);
    Select(2);
    page->OnDelete();
    EXPECT_GE(Offered("0x00000002"), 0);
}

TEST_F(PermPageTest, TheAuditGuardRefusesTheApply)
{
    Open();
    Select(0);
    page->OnDelete();
    zyr::console::SetAuditCheck([] { return true; });
    EXPECT_EQ(page->Apply(), 0);
    EXPECT_EQ(application->Permissions.size(), 3u);
    EXPECT_EQ(server.RequestCount(), 0u);
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, zyr::LoadStringAnsi(zyr::IDS_AUDIT_COMPONENTS_MISSING));
}

} // namespace
