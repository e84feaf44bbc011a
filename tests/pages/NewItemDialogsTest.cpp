#include "pages/NewItemDialogs.h"

#include "common/StringTable.h"
#include "pages/AccessPages.h"
#include "pages/ApplicationWindows.h"
#include "pages/PermPage.h"
#include "platform/ui/UiService.h"
#include "records/Application.h"
#include "tests/pages/QtTestApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

namespace ui = zyr::ui;
using zyr::console::NewItemKind;
using zyr::console::NewItemTexts;

class NewItemDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { zyr::testing::QtTestApp(); }

    // Runs the dialog of the kind; once it shows, fills its two edits and
    // presses OK, then Cancel in case OK did not end it.
    bool Run(NewItemKind kind, const QString& name, const QString& description, NewItemTexts& texts)
    {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            shownId = dialog->objectName().toStdString();
            shownTitle = dialog->windowTitle().toStdString();
            QList<QLineEdit*> edits = dialog->findChildren<QLineEdit*>();
            ASSERT_EQ(edits.size(), 2);
            edits[0]->setText(name);
            edits[1]->setText(description);
            editIds = {edits[0]->objectName().toStdString(), edits[1]->objectName().toStdString()};
            dialog->findChild<QPushButton*>("1")->click();
            if (dialog->isVisible()) {
                dialog->findChild<QPushButton*>("2")->click();
            }
        });
        return zyr::pages::RunNewItemDialog(kind, nullptr, &texts);
    }

    ui::ScopedRecordingUi ui;
    std::string shownId;
    std::string shownTitle;
    std::vector<std::string> editIds;
};

TEST_F(NewItemDialogsTest, TheNameIsStoredTrimmedAndTheDescriptionAsTyped)
{
    NewItemTexts texts;
    ASSERT_TRUE(Run(NewItemKind::Application, "  Plant Ops \t", " Line control ", texts));
    EXPECT_EQ(texts.name, "Plant Ops");
    EXPECT_EQ(texts.description, " Line control ");
    EXPECT_EQ(shownId, "202");
    EXPECT_EQ(shownTitle, "New Application");
    EXPECT_EQ(editIds, (std::vector<std::string>{"201", "202"}));
    EXPECT_TRUE(ui.recorder.boxes.empty());
}

TEST_F(NewItemDialogsTest, ABlankNameShowsTheKindsMessageAndKeepsTheDialogOpen)
{
    struct Case {
        NewItemKind kind;
        UINT message;
        const char* id;
        const char* title;
    };
    for (const Case& c :
         {Case{NewItemKind::Application, zyr::IDS_EMPTY_APPLICATION_NAME, "202", "New Application"},
          Case{NewItemKind::Group, zyr::IDS_EMPTY_GROUP_NAME, "221", "New Group"},
          Case{NewItemKind::Object, zyr::IDS_EMPTY_SECURE_OBJECT_NAME, "220", "New Securable Object"}}) {
        ui.recorder.boxes.clear();
        NewItemTexts texts;
        EXPECT_FALSE(Run(c.kind, "   ", "Description", texts)) << c.title;
        EXPECT_EQ(shownId, c.id);
        EXPECT_EQ(shownTitle, c.title);
        ASSERT_EQ(ui.recorder.boxes.size(), 1u) << c.title;
        EXPECT_EQ(ui.recorder.boxes[0].text, zyr::LoadStringAnsi(c.message));
        EXPECT_EQ(ui.recorder.boxes[0].caption, "ZYR Security Manager");
        EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONERROR);
        EXPECT_NE(ui.recorder.boxes[0].owner, nullptr) << "the dialog owns its message";
    }
    EXPECT_EQ(zyr::LoadStringAnsi(zyr::IDS_EMPTY_APPLICATION_NAME), "Empty Application Name Field.");
}

TEST_F(NewItemDialogsTest, ReservedCharactersInTheNameOrDescriptionAreRefused)
{
    NewItemTexts texts;
    EXPECT_FALSE(Run(NewItemKind::Group, "Line/1", "", texts));
    EXPECT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_FALSE(Run(NewItemKind::Object, "Valve 7", "50% open", texts));
    EXPECT_EQ(ui.recorder.boxes.size(), 2u);
    EXPECT_TRUE(texts.name.empty());
}

TEST_F(NewItemDialogsTest, TheDescriptionOfANewApplicationTakesTheDefaultFromOk)
{
    CNewApplDialog dialog;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        auto* ok = shown->findChild<QPushButton*>("1");
        EXPECT_TRUE(ok->isDefault());
        QFocusEvent focus(QEvent::FocusIn);
        QApplication::sendEvent(dialog.DescriptionEdit(), &focus);
        EXPECT_FALSE(ok->isDefault());
        EXPECT_EQ(dialog.NameEdit()->maxLength(), 255);
        EXPECT_EQ(dialog.DescriptionEdit()->maxLength(), 255);
        shown->findChild<QPushButton*>("2")->click();
    });
    EXPECT_EQ(dialog.DoModal(), ui::IDCANCEL);
}

TEST_F(NewItemDialogsTest, TypingIntoAFullEditShowsTheLimitNotice)
{
    CNewSecObjDialog dialog;
    QTimer::singleShot(0, [&] {
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
        dialog.NameEdit()->setText(QString(255, 'n'));
        QApplication::sendEvent(dialog.NameEdit(), &typed);
        dialog.DescriptionEdit()->setText(QString(255, 'd'));
        QApplication::sendEvent(dialog.DescriptionEdit(), &typed);
        QApplication::activeModalWidget()->findChild<QPushButton*>("2")->click();
    });
    EXPECT_EQ(dialog.DoModal(), ui::IDCANCEL);
    // The object's description follows the notice with a second one.
    ASSERT_EQ(ui.recorder.boxes.size(), 3u);
    EXPECT_EQ(ui.recorder.boxes[0].text, "Only 255 characters are allowed.");
    EXPECT_EQ(ui.recorder.boxes[1].text, "Only 255 characters are allowed.");
    EXPECT_EQ(ui.recorder.boxes[2].text, "Only 255 characters are allowed");
    EXPECT_EQ(ui.recorder.boxes[2].caption, "ZYR Security Manager");
}

// The seam hands the sheet the application's two pages in order.
struct RecordingCallback : IPropertySheetCallback {
    HRESULT QueryInterface(const IID&, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT AddPage(HPROPSHEETPAGE page) override
    {
        titles.emplace_back(page->Title());
        page->Release();
        return S_OK;
    }
    HRESULT RemovePage(HPROPSHEETPAGE) override { return E_NOTIMPL; }
    std::vector<std::u16string> titles;
};

TEST(ApplicationWindowsTest, InstalledWindowsHandTheirPagesToTheSheet)
{
    zyr::pages::InstallApplicationWindows();
    zyr::console::ApplicationUi& installed = zyr::console::CurrentApplicationUi();

    CKVTAppl application("Plant Ops", "", true);
    RecordingCallback callback;
    EXPECT_EQ(installed.AddApplicationPages(&application, &callback, 0), S_OK);
    EXPECT_EQ(callback.titles,
              (std::vector<std::u16string>{u"Application Properties", u"Permission Properties"}));
    EXPECT_EQ(installed.AddGroupPages(&application, nullptr, &callback, 0), E_POINTER);
    zyr::console::ResetApplicationUi();
}

} // namespace
