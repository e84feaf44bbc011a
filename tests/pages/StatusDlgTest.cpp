#include "pages/StatusDlg.h"
#include "tests/pages/QtTestApp.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace {

TEST(StatusDlgTest, EachStepReplacesTheTextOfTheModelessWindow)
{
    zyr::testing::QtTestApp();
    std::unique_ptr<CStatusDlg> status = CStatusDlg::Open(nullptr);
    ASSERT_NE(status, nullptr);
    ASSERT_TRUE(status->Dialog()->isVisible());
    EXPECT_FALSE(status->Dialog()->isModal());
    status->ShowStep("Initializing the security snap-in...");
    status->ShowStep("Initializing Role Node");
    auto* text = status->Dialog()->findChild<QLabel*>("314");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), "Initializing Role Node");
    QPointer<QDialog> window = status->Dialog();
    status.reset();
    EXPECT_TRUE(window.isNull()) << "the window goes with the object";
}

} // namespace
