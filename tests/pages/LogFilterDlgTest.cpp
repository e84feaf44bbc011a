// The log filter dialog on the offscreen platform: its start state, the
// range texts it hands the Logs container, and the refused backwards range.
#include "pages/LogFilterDlg.h"

#include "common/StringTable.h"
#include "platform/ui/UiService.h"
#include "tests/pages/QtTestApp.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QPushButton>

#include <functional>

namespace {

namespace ui = zyr::ui;
using zyr::testing::ChildControl;
using zyr::testing::WhileModalShown;

class LogFilterDlgTest : public ::testing::Test {
protected:
    void SetUp() override { zyr::testing::QtTestApp(); }

    static void ChooseRange(QDialog& dialog, QDate from, QDate to)
    {
        ChildControl<QCheckBox>(dialog, "315")->click();
        ChildControl<QDateEdit>(dialog, "325")->setDate(from);
        ChildControl<QDateEdit>(dialog, "326")->setDate(to);
    }

    ui::ScopedRecordingUi recording;
};

TEST_F(LogFilterDlgTest, OpensOnAllLogsWithTheDatesOutOfUse)
{
    CLogFilterDlg dialog;
    bool checked = false;
    WhileModalShown([&](QDialog& shown) {
        EXPECT_EQ("227", shown.objectName());
        EXPECT_EQ("Log Filter Dialog", shown.windowTitle());
        EXPECT_TRUE(ChildControl<QCheckBox>(shown, "315")->isChecked());
        for (const char* id : {"316", "317", "325", "326"}) {
            EXPECT_FALSE(ChildControl<QWidget>(shown, id)->isEnabled()) << id;
        }
        ChildControl<QCheckBox>(shown, "315")->click();
        for (const char* id : {"316", "317", "325", "326"}) {
            EXPECT_TRUE(ChildControl<QWidget>(shown, id)->isEnabled()) << id;
        }
        ChildControl<QCheckBox>(shown, "315")->click();
        EXPECT_FALSE(ChildControl<QWidget>(shown, "325")->isEnabled());
        EXPECT_EQ(QDate::currentDate(), ChildControl<QDateEdit>(shown, "326")->date());
        checked = true;
        ChildControl<QPushButton>(shown, "1")->click();
    });
    ASSERT_EQ(ui::IDOK, dialog.DoModal());
    EXPECT_TRUE(checked);
    EXPECT_TRUE(dialog.m_bAllLogs);
    EXPECT_TRUE(recording.recorder.boxes.empty());
}

TEST_F(LogFilterDlgTest, OneDayGivesThatDayAsFromAndTheNextAsTo)
{
    zyr::console::LogFilterChoice choice;
    WhileModalShown([](QDialog& shown) {
        ChooseRange(shown, QDate(2007, 2, 28), QDate(2007, 2, 28));
        ChildControl<QPushButton>(shown, "1")->click();
    });
    ASSERT_TRUE(zyr::pages::RunLogFilterDialog(nullptr, &choice));
    EXPECT_FALSE(choice.allLogs);
    EXPECT_EQ("2/28/2007", choice.fromText);
    EXPECT_EQ("3/1/2007", choice.toText);

    // Across a year's end, and the To text taken twice stays the same.
    CLogFilterDlg dialog;
    WhileModalShown([](QDialog& shown) {
        ChooseRange(shown, QDate(2026, 12, 1), QDate(2026, 12, 31));
        ChildControl<QPushButton>(shown, "1")->click();
    });
    ASSERT_EQ(ui::IDOK, dialog.DoModal());
    EXPECT_EQ("12/1/2026", dialog.GetFromText());
    EXPECT_EQ("1/1/2027", dialog.GetToText());
    EXPECT_EQ("1/1/2027", dialog.GetToText());
}

TEST_F(LogFilterDlgTest, ABackwardsRangeIsRefusedAndTheDialogStays)
{
    zyr::console::LogFilterChoice choice;
    bool stayed = false;
    WhileModalShown([&](QDialog& shown) {
        ChooseRange(shown, QDate(2026, 12, 9), QDate(2026, 12, 8));
        ChildControl<QPushButton>(shown, "1")->click();
        stayed = shown.isVisible();
        EXPECT_EQ(1u, recording.recorder.boxes.size());
        if (!recording.recorder.boxes.empty()) {
            const auto& box = recording.recorder.boxes[0];
            EXPECT_EQ("'From Date' Should be less than or Equal to 'To Date'", box.text);
            EXPECT_EQ("ZYR Security Manager", box.caption);
            EXPECT_EQ(ui::MB_OK | ui::MB_ICONINFORMATION, box.style);
            EXPECT_EQ(&shown, box.owner);
        }
        // Even with "All Logs" ticked again the range must not run backwards.
        ChildControl<QCheckBox>(shown, "315")->click();
        ChildControl<QPushButton>(shown, "1")->click();
        EXPECT_EQ(2u, recording.recorder.boxes.size());
        ChildControl<QPushButton>(shown, "2")->click();
    });
    EXPECT_FALSE(zyr::pages::RunLogFilterDialog(nullptr, &choice));
    EXPECT_TRUE(stayed);
}

TEST_F(LogFilterDlgTest, AllLogsHandsBackNoRange)
{
    zyr::console::LogFilterChoice choice{false, "x", "y"};
    WhileModalShown([](QDialog& shown) { ChildControl<QPushButton>(shown, "1")->click(); });
    ASSERT_TRUE(zyr::pages::RunLogFilterDialog(nullptr, &choice));
    EXPECT_TRUE(choice.allLogs);
    EXPECT_TRUE(choice.fromText.empty());
    EXPECT_TRUE(choice.toText.empty());
}

} // namespace
