// The audit trail's windows on the offscreen platform: the filter dialog's
// choice (the To second included) and refused backwards range, and the
// record page's side-by-side values with the differences marked.
#include "pages/AuditTrailWindows.h"

#include "platform/ui/UiService.h"
#include "tests/pages/QtTestApp.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <functional>

namespace {

namespace ui = zyr::ui;
using zyr::testing::ChildControl;
using zyr::testing::WhileModalShown;

class AuditTrailWindowsTest : public ::testing::Test {
protected:
    void SetUp() override { zyr::testing::QtTestApp(); }

    ui::ScopedRecordingUi recording;
};

TEST_F(AuditTrailWindowsTest, FilterDialogGivesTheServersRange)
{
    zyr::records::AuditFilter filter{"", "", "CORP\\ann", "role", ""};
    WhileModalShown([](QDialog& shown) {
        EXPECT_EQ("Role", ChildControl<QComboBox>(shown, "Kind")->currentData().toString())
            << "kinds match in any case";
        EXPECT_FALSE(ChildControl<QDateTimeEdit>(shown, "From")->isEnabled());
        ChildControl<QCheckBox>(shown, "UseFrom")->click();
        ChildControl<QCheckBox>(shown, "UseTo")->click();
        ChildControl<QDateTimeEdit>(shown, "From")->setDateTime(QDateTime(QDate(2026, 12, 1), QTime(8, 0)));
        ChildControl<QDateTimeEdit>(shown, "To")
            ->setDateTime(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
        ChildControl<QLineEdit>(shown, "Name")->setText("  valve ");
        ChildControl<QComboBox>(shown, "Kind")->setCurrentIndex(0);
        ChildControl<QPushButton>(shown, "1")->click();
    });
    zyr::pages::AuditTrailWindows windows;
    ASSERT_TRUE(windows.RunAuditFilterDialog(nullptr, filter));
    EXPECT_EQ("2026-12-01 08:00:00", filter.from);
    EXPECT_EQ("2027-01-01 00:00:00", filter.to);
    EXPECT_EQ("CORP\\ann", filter.user);
    EXPECT_EQ("", filter.object);
    EXPECT_EQ("valve", filter.name);

    bool stayed = false;
    WhileModalShown([&](QDialog& shown) {
        ChildControl<QDateTimeEdit>(shown, "From")->setDateTime(QDateTime(QDate(2026, 12, 2), QTime(0, 0)));
        ChildControl<QDateTimeEdit>(shown, "To")->setDateTime(QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
        ChildControl<QPushButton>(shown, "1")->click();
        stayed = shown.isVisible();
        ChildControl<QPushButton>(shown, "2")->click();
    });
    EXPECT_FALSE(windows.RunAuditFilterDialog(nullptr, filter));
    EXPECT_TRUE(stayed);
    EXPECT_EQ(1u, recording.recorder.boxes.size());
    EXPECT_EQ("2026-12-01 08:00:00", filter.from) << "a cancelled dialog changes nothing";
}

TEST_F(AuditTrailWindowsTest, RecordPageMarksWhatChanged)
{
    zyr::records::AuditEntry entry{"2026-12-05 13:04:00",
                                   "CORP\\jdoe",
                                   "PC01",
                                   "SecObj",
                                   "Update",
                                   "{o}",
                                   "Valve 7",
                                   "<OldValue><Description><Value>Line A</Value></Description><ACE>"
                                   "<Value>Ops:Read</Value></ACE></OldValue>",
                                   "<NewValue><Description><Value>Line A</Value></Description><ACE>"
                                   "<Value>Ops:Read,Write</Value></ACE></NewValue>"};
    auto* page = new CAuditRecordPage(0, entry);
    QWidget parent;
    QWidget* widget = page->CreatePage(&parent);
    auto* table = ChildControl<QTableWidget>(*widget, "Values");
    ASSERT_NE(nullptr, table);
    ASSERT_EQ(1, table->rowCount()) << "an unchanged description is no row";
    EXPECT_EQ("ACE Ops", table->item(0, 0)->text());
    EXPECT_EQ("Read", table->item(0, 1)->text());
    EXPECT_EQ("Read,Write", table->item(0, 2)->text());
    EXPECT_TRUE(table->item(0, 2)->font().bold());
    page->Release();
}

} // namespace
