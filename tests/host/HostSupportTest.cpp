// The host's helpers: finding the snap-in in the registry, HTML view types,
// image lists, file-dialog filters and the command line.
#include "host/ConsoleSession.h"
#include "host/HostOptions.h"
#include "host/HtmlViewType.h"
#include "host/IconCache.h"
#include "host/QtUiService.h"
#include "host/SnapinRegistry.h"
#include "tests/host/HostFixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace zyr::host {
namespace {

using SnapinLookupTest = zyr::testing::HostTest;

TEST_F(SnapinLookupTest, FindsAStandAloneSnapinByNameOrClass)
{
    CLSID found{};
    ASSERT_TRUE(FindStandAloneSnapin(u"ZYR Security Manager", nullptr, found));
    EXPECT_EQ(found, CLSID_TestSnapin);
    EXPECT_FALSE(FindStandAloneSnapin(u"zyr security manager", nullptr, found));
    found = {};
    EXPECT_TRUE(FindStandAloneSnapin(u"", &CLSID_TestSnapin, found));
    EXPECT_EQ(found, CLSID_TestSnapin);
    CLSID other = CLSID_TestSnapin;
    other.Data1 ^= 1;
    EXPECT_FALSE(FindStandAloneSnapin(u"", &other, found));
}

TEST_F(SnapinLookupTest, ASnapinThatIsNotStandAloneIsNotOffered)
{
    zyr::testing::TempRegistry::CreateKey(HKEY_LOCAL_MACHINE,
                                          "Software\\Microsoft\\MMC\\SnapIns\\not-a-guid");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (zyr::testing::kSnapinKey + "\\StandAlone").c_str());
    CLSID found{};
    EXPECT_FALSE(FindStandAloneSnapin(u"ZYR Security Manager", nullptr, found));
    EXPECT_FALSE(FindStandAloneSnapin(u"", &CLSID_TestSnapin, found));
}

class HtmlViewTest : public zyr::testing::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        module_ = registry_.Root() / "modules" / "libsnapin.so";
        std::filesystem::create_directories(module_.parent_path());
        std::ofstream(module_.parent_path() / "Welcome.html") << "<p>hello</p>";
    }
    std::u16string ViewType(const std::string& name) const
    {
        std::string text = "res://" + module_.string() + "/" + name;
        return std::u16string(text.begin(), text.end());
    }
    std::filesystem::path module_;
};

TEST_F(HtmlViewTest, NamesTheFileBesideTheModuleWhateverTheCase)
{
    std::string path = HtmlFileOfViewType(ViewType("WELCOME.HTML"));
    EXPECT_EQ(path, (module_.parent_path() / "Welcome.html").string());
    EXPECT_EQ(HtmlFileOfViewType(ViewType("Welcome.html")), path);
}

TEST_F(HtmlViewTest, RefusesWhatIsNotAFileBesideTheModule)
{
    EXPECT_EQ(HtmlFileOfViewType(ViewType("missing.html")), "");
    EXPECT_EQ(HtmlFileOfViewType(ViewType("..")), "");
    EXPECT_EQ(HtmlFileOfViewType(ViewType("")), "");
    EXPECT_EQ(HtmlFileOfViewType(u"http://example.invalid/x.html"), "");
    EXPECT_EQ(HtmlFileOfViewType(u"res://"), "");
    // Only the last part names the page; a path in it cannot reach elsewhere.
    std::ofstream(registry_.Root() / "outside.html") << "x";
    EXPECT_EQ(HtmlFileOfViewType(ViewType("..\\..\\outside.html")), "");
}

QByteArray StripPng(int count, QColor colour, bool alpha)
{
    QImage image(16 * count, 16, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(colour);
    if (!alpha) {
        // The mask colour RGB(0,128,128) in the first pixel of each image.
        for (int i = 0; i < count; ++i) {
            image.setPixel(i * 16, 0, qRgb(0, 128, 128));
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

TEST(ImageListTest, StripsTakeIndexesFromTheirStartAndLaterStripsWin)
{
    QByteArray red = StripPng(3, Qt::red, false);
    QByteArray green = StripPng(1, Qt::green, true);
    ImageStrip first{16, 16, 3, reinterpret_cast<const unsigned char*>(red.constData()),
                     static_cast<size_t>(red.size())};
    ImageStrip second{16, 16, 1, reinterpret_cast<const unsigned char*>(green.constData()),
                      static_cast<size_t>(green.size())};
    ImageList list;
    EXPECT_FALSE(list.SetStrip(nullptr, 0, 0));
    ASSERT_TRUE(list.SetStrip(&first, 0, 0x00808000));
    ASSERT_TRUE(list.SetStrip(&second, 2, 0));
    int position = -1;
    EXPECT_EQ(list.Find(1, position)->count, 3);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(list.Find(2, position)->count, 1);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(list.Find(3, position), nullptr);
    // Setting the same strip again does not pile up copies.
    ASSERT_TRUE(list.SetStrip(&first, 0, 0x00808000));
    ASSERT_TRUE(list.SetStrip(&first, 0, 0x00808000));
    EXPECT_EQ(list.StripCount(), 1u);
    EXPECT_EQ(list.Find(2, position)->count, 3);
    ASSERT_TRUE(list.SetStrip(&second, 2, 0));

    IconCache icons(list);
    QImage image = icons.Icon(1).pixmap(16, 16).toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0); // the mask colour is transparent
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(Qt::red));
    EXPECT_EQ(QColor(icons.Icon(2).pixmap(16, 16).toImage().pixel(0, 0)), QColor(Qt::green));
    EXPECT_TRUE(icons.Icon(7).isNull());
}

TEST(QtUiServiceTest, FileFiltersBecomeQtNameFilters)
{
    EXPECT_EQ(NameFiltersOf("XML Files (*.xml)|*.xml|All Files (*.*)|*.*|"),
              (QStringList{QStringLiteral("XML Files (*.xml)"), QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(NameFiltersOf("Exports|*.xml;*.txt|"), QStringList{QStringLiteral("Exports (*.xml *.txt)")});
    EXPECT_TRUE(NameFiltersOf("").isEmpty());
}

TEST(QtUiServiceTest, TheWaitCursorIsHeldWhileAskedForAndNeverPoppedTwice)
{
    QtUiService ui;
    ui.EndWaitCursor(); // unbalanced: nothing to restore
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.BeginWaitCursor();
    ui.BeginWaitCursor();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.EndWaitCursor();
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    ui.EndWaitCursor();
    ui.EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Answers the next message box from the event loop that the box runs.
void AnswerNextBox(QMessageBox::StandardButton button, QMessageBox::Icon* icon, QString* text,
                   QMessageBox::StandardButtons* buttons)
{
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        *icon = box->icon();
        *text = box->text();
        *buttons = box->standardButtons();
        box->button(button)->click();
    });
}

TEST(QtUiServiceTest, MessageBoxesShowTheirIconAndButtonsAndAnswerWithTheChoice)
{
    QtUiService ui;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QMessageBox::StandardButtons buttons;
    AnswerNextBox(QMessageBox::No, &icon, &text, &buttons);
    EXPECT_EQ(ui.MessageBox(nullptr, "Delete it?", "ZYR Security Manager",
                            zyr::ui::MB_YESNO | zyr::ui::MB_ICONQUESTION),
              zyr::ui::IDNO);
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(text, QStringLiteral("Delete it?"));
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);

    AnswerNextBox(QMessageBox::Cancel, &icon, &text, &buttons);
    EXPECT_EQ(ui.MessageBox(nullptr, "Failed", "ZYR Security Manager",
                            zyr::ui::MB_OKCANCEL | zyr::ui::MB_ICONERROR),
              zyr::ui::IDCANCEL);
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);

    AnswerNextBox(QMessageBox::Ok, &icon, &text, &buttons);
    EXPECT_EQ(ui.MessageBox(nullptr, "Done", "ZYR Security Manager", zyr::ui::MB_ICONINFORMATION),
              zyr::ui::IDOK);
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

TEST(QtUiServiceTest, TheSaveDialogProposesTheNameAndAddsTheDefaultExtension)
{
    QtUiService ui;
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "zyr-host-save";
    std::filesystem::create_directories(folder);
    zyr::ui::FileDialog dialog;
    dialog.title = "Export Application";
    dialog.filter = "XML Files (*.xml)|*.xml|All Files (*.*)|*.*|";
    dialog.defaultExt = "xml";
    dialog.initialName = (folder / "export").string();
    QString title;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            title = box->windowTitle();
            static_cast<QDialog*>(box)->accept(); // as the OK button does
        }
    });
    std::string path;
    ASSERT_TRUE(ui.GetSaveFileName(nullptr, dialog, path));
    EXPECT_EQ(title, QStringLiteral("Export Application"));
    EXPECT_EQ(path, (folder / "export.xml").string());

    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            box->reject();
        }
    });
    EXPECT_FALSE(ui.GetOpenFileName(nullptr, dialog, path));
    std::filesystem::remove_all(folder);
}

TEST(HostOptionsTest, ReadsTheCommandLine)
{
    HostOptions options;
    QString error;
    ASSERT_TRUE(ParseHostOptions({QStringLiteral("zyr"), QStringLiteral("--snapin"),
                                  QStringLiteral("{6B0C3E57-92A4-4D1E-8F3B-5A7C21D9E401}"),
                                  QStringLiteral("--select"), QStringLiteral("A/B"),
                                  QStringLiteral("--screenshot"), QStringLiteral("x.png")},
                                 options, error));
    EXPECT_TRUE(options.hasClsid);
    EXPECT_EQ(options.clsid, CLSID_TestSnapin);
    EXPECT_EQ(options.select, QStringLiteral("A/B"));
    EXPECT_EQ(options.screenshot, QStringLiteral("x.png"));
    ASSERT_TRUE(ParseHostOptions({QStringLiteral("zyr"), QStringLiteral("--row"), QStringLiteral("Operators"),
                                  QStringLiteral("--open"), QStringLiteral("menu:New Role")},
                                 options, error));
    EXPECT_EQ(options.row, QStringLiteral("Operators"));
    EXPECT_EQ(options.open, QStringLiteral("menu:New Role"));

    HostOptions bad;
    EXPECT_FALSE(ParseHostOptions({QStringLiteral("zyr"), QStringLiteral("--snapin"), QStringLiteral("nope")},
                                  bad, error));
    EXPECT_FALSE(ParseHostOptions({QStringLiteral("zyr"), QStringLiteral("--select")}, bad, error));
    EXPECT_FALSE(ParseHostOptions({QStringLiteral("zyr"), QStringLiteral("extra")}, bad, error));
    EXPECT_FALSE(ParseHostOptions({QStringLiteral("zyr"), QStringLiteral("--open"), QStringLiteral("menu:")},
                                  bad, error));
}

} // namespace
} // namespace zyr::host
