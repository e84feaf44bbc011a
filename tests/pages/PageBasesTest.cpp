#include "pages/KVTDialog.h"
#include "pages/SnapInPropertyPageImpl.h"
#include "tests/pages/QtTestApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

// The toolkit's font configuration keeps a few allocations for the life of
// the process; they are not the pages' to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

namespace {

QApplication& App()
{
    return zyr::testing::QtTestApp();
}

struct RecordingSite : IPropertySheetSite {
    void PageChanged(IPropertyPage* page) override { changed.push_back(page); }
    HWND SheetWindow() override { return nullptr; }
    std::vector<IPropertyPage*> changed;
};

class TestPage : public CSnapInPropertyPageImpl<TestPage> {
public:
    TestPage(bool* destroyed, BOOL answer)
        : CSnapInPropertyPageImpl(u"General", 0x77), destroyed_(destroyed), answer_(answer)
    {
    }
    ~TestPage() override { *destroyed_ = true; }

    QWidget* CreatePage(QWidget* parent)
    {
        auto* page = new QWidget(parent);
        name = new QLineEdit(page);
        name->setObjectName("303");
        MarkChangedOnEdit(name);
        return page;
    }
    BOOL Apply() { return answer_; }

    QLineEdit* name = nullptr;

private:
    bool* destroyed_;
    BOOL answer_;
};

TEST(PageBasesTest, PageLivesUntilTheSheetReleasesIt)
{
    App();
    QWidget sheet;
    RecordingSite site;
    bool destroyed = false;
    auto* page = new TestPage(&destroyed, 0);
    IPropertyPage* handle = page;
    EXPECT_EQ(u"General", handle->Title());
    EXPECT_EQ(0x77, page->m_lNotifyHandle);
    auto* widget = static_cast<QWidget*>(handle->CreatePageWindow(&sheet, &site));
    ASSERT_NE(nullptr, widget);
    EXPECT_EQ(&sheet, widget->parentWidget());

    // An edit by the operator marks the page changed; filling it in code does not.
    page->name->setText("filled at start");
    EXPECT_TRUE(site.changed.empty());
    emit page->name->textEdited("typed");
    ASSERT_EQ(1u, site.changed.size());
    EXPECT_EQ(handle, site.changed[0]);

    EXPECT_EQ(0, handle->OnApply()) << "FALSE keeps the sheet open";
    QLineEdit* edit = page->name;
    handle->Release();
    EXPECT_TRUE(destroyed);
    emit edit->textEdited("after the page is gone");
    EXPECT_EQ(1u, site.changed.size());
}

class TestDialog : public CKVTDialog<TestDialog> {
public:
    bool BuildDialog(QDialog& dialog)
    {
        if (failSetUp) {
            return false;
        }
        auto* layout = new QVBoxLayout(&dialog);
        edit = new QLineEdit(&dialog);
        layout->addWidget(edit);
        buttons = AddOkCancel(dialog);
        layout->addWidget(buttons);
        return true;
    }
    void OnOK()
    {
        ++okClicks;
        if (!edit->text().isEmpty()) {
            text = edit->text().toStdString();
            EndDialog(zyr::ui::IDOK);
        }
    }

    bool failSetUp = false;
    int okClicks = 0;
    std::string text;
    QLineEdit* edit = nullptr;
    QDialogButtonBox* buttons = nullptr;
};

TEST(PageBasesTest, NewDialogEndsWithOkOnlyWhenTheInputIsAccepted)
{
    App();
    TestDialog dialog;
    QTimer::singleShot(0, [&] {
        dialog.buttons->button(QDialogButtonBox::Ok)->click(); // refused: empty
        dialog.edit->setText("Operators");
        dialog.buttons->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(zyr::ui::IDOK, dialog.DoModal());
    EXPECT_EQ(2, dialog.okClicks);
    EXPECT_EQ("Operators", dialog.text);

    TestDialog cancelled;
    QTimer::singleShot(0, [&] { cancelled.buttons->button(QDialogButtonBox::Cancel)->click(); });
    EXPECT_EQ(zyr::ui::IDCANCEL, cancelled.DoModal());
    EXPECT_EQ(0, cancelled.okClicks);

    TestDialog broken;
    broken.failSetUp = true;
    EXPECT_EQ(-1, broken.DoModal());
}

} // namespace

// The check every shown dialog goes through finds a Tab order that jumps
// back up, and lets the round from the last control to the first pass.
TEST(PageBasesTest, TheTabOrderCheckFindsAJumpBackUp)
{
    zyr::testing::QtTestApp();
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* top = new QLineEdit;
    auto* bottom = new QLineEdit;
    auto* middle = new QLineEdit;
    bottom->setObjectName(QStringLiteral("bottom"));
    middle->setObjectName(QStringLiteral("middle"));
    for (QLineEdit* edit : {top, middle, bottom}) {
        layout->addWidget(edit);
    }
    QWidget::setTabOrder(top, bottom);
    QWidget::setTabOrder(bottom, middle);
    dialog.adjustSize();
    EXPECT_EQ(zyr::testing::TabJump(&dialog), "QLineEdit bottom -> QLineEdit middle");
    QWidget::setTabOrder(top, middle);
    QWidget::setTabOrder(middle, bottom);
    EXPECT_EQ(zyr::testing::TabJump(&dialog), "");
}
