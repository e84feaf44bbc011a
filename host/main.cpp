// zyr-security-manager: the console host. Finds the stand-alone snap-in in the
// registry store, loads it and shows its console.
//
//   zyr-security-manager [--snapin {CLSID}] [--select PATH] [--screenshot FILE]

#include "host/ConsoleSession.h"
#include "host/HostOptions.h"
#include "host/MainWindow.h"
#include "host/PlatformChatter.h"
#include "host/PropertySheet.h"
#include "host/QtUiService.h"
#include "host/Screenshots.h"
#include "host/SnapinRegistry.h"
#include "platform/com/Guid.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <cstring>
#include <memory>

#include "ZyrVersion.h"

namespace {

int Fail(const zyr::host::HostOptions& options, const QString& text)
{
    std::fprintf(stderr, "zyr-security-manager: %s\n", text.toLocal8Bit().constData());
    if (options.screenshot.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("ZYR Security Manager"), text);
    }
    return 1;
}

// A screenshot run is unattended: every modal dialog the snap-in shows (its
// sign-in, say) is answered with its default button once it is on screen,
// after its picture is taken.
class DefaultButtonPresser : public QObject {
public:
    explicit DefaultButtonPresser(QString screenshot) : screenshot_(std::move(screenshot)) {}
    // From now on a dialog is pictured and cancelled, so that opening one
    // for its picture changes nothing.
    void CancelFromNowOn() { cancel_ = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog != nullptr && dialog->isModal()) {
            QTimer::singleShot(0, dialog, [this, dialog] {
                const QString title =
                    dialog->windowTitle().isEmpty() ? dialog->objectName() : dialog->windowTitle();
                dialog->grab().save(
                    zyr::host::PictureName(screenshot_,
                                           QStringLiteral("dialog %1 %2").arg(++answered_).arg(title)),
                    "PNG");
                if (cancel_) {
                    dialog->reject();
                    return;
                }
                for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                    if (button->isDefault() && button->isEnabled()) {
                        button->click();
                        return;
                    }
                }
                dialog->accept();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString screenshot_;
    int answered_ = 0;
    bool cancel_ = false;
};

// The action of menu (or of a menu below it) whose caption, mnemonics left
// out, is caption.
QAction* FindMenuAction(QMenu* menu, const QString& caption)
{
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            if (QAction* found = FindMenuAction(action->menu(), caption)) {
                return found;
            }
        } else if (QString(action->text()).remove(QLatin1Char('&')) == caption) {
            return action;
        }
    }
    return nullptr;
}

// Presses the button reading caption (mnemonics left out) on a window open
// beside the console; a sheet is turned to the tab that holds it.
bool PressButton(QWidget* console, const QString& caption)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == console || !window->isVisible()) {
            continue;
        }
        auto* sheet = qobject_cast<zyr::host::PropertySheet*>(window);
        const int parts = sheet != nullptr ? sheet->Tabs()->count() : 1;
        for (int part = 0; part < parts; ++part) {
            QWidget* shown = window;
            if (sheet != nullptr) {
                sheet->Tabs()->setCurrentIndex(part);
                shown = sheet->Tabs()->currentWidget();
            }
            for (QPushButton* button : shown->findChildren<QPushButton*>()) {
                if (button->isEnabled() && QString(button->text()).remove(QLatin1Char('&')) == caption) {
                    button->click();
                    return true;
                }
            }
        }
    }
    return false;
}

// Selects the row of the result list whose first column reads text.
bool SelectResultRow(zyr::host::MainWindow& window, const QString& text)
{
    QAbstractItemModel* model = window.ResultList()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QModelIndex index = model->index(row, 0);
        if (index.data(Qt::DisplayRole).toString() == text) {
            window.ResultList()->setCurrentIndex(index);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Help and version answer without a display.
    if (zyr::PrintVersion(argc, argv, "zyr-security-manager")) {
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(zyr::host::HostUsage(), stdout);
            return 0;
        }
    }
    zyr::host::FilterPlatformChatter();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zyr-security-manager"));

    zyr::host::HostOptions options;
    QString error;
    if (!zyr::host::ParseHostOptions(QApplication::arguments(), options, error)) {
        std::fprintf(stderr, "zyr-security-manager: %s\n%s", error.toLocal8Bit().constData(),
                     zyr::host::HostUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(zyr::host::HostUsage(), stdout);
        return 0;
    }

    zyr::host::InstallQtUiService();
    DefaultButtonPresser presser(options.screenshot);
    if (!options.screenshot.isEmpty()) {
        app.installEventFilter(&presser);
    }

    CLSID clsid{};
    if (!zyr::host::FindStandAloneSnapin(options.snapinName, options.hasClsid ? &options.clsid : nullptr,
                                         clsid)) {
        return Fail(options, options.hasClsid
                                 ? QStringLiteral("No stand-alone snap-in %1 is registered.")
                                       .arg(QString::fromStdString(zyr::com::GuidToString(options.clsid)))
                                 : QStringLiteral("No stand-alone snap-in named \"%1\" is registered.")
                                       .arg(QString::fromStdU16String(options.snapinName)));
    }

    zyr::host::ConsoleSession session;
    int status = 0;
    {
        zyr::host::MainWindow window(session);
        // The snap-in starts with the console on screen: its first dialogs
        // (a sign-in, say) are owned by the console window.
        window.show();
        HRESULT hr = session.Start(clsid);
        if (FAILED(hr)) {
            return Fail(options, QStringLiteral("The snap-in %1 could not be started (0x%2).")
                                     .arg(QString::fromStdString(zyr::com::GuidToString(clsid)))
                                     .arg(static_cast<uint32_t>(hr), 8, 16, QLatin1Char('0')));
        }
        window.SelectScopeItem(session.Root());
        if (options.select.isEmpty() && options.screenshot.isEmpty()) {
            window.RestorePlacement();
        }
        if (!options.select.isEmpty()) {
            HSCOPEITEM item = session.FindByPath(options.select.toStdU16String());
            if (item == 0) {
                std::fprintf(stderr, "zyr-security-manager: no item %s\n",
                             options.select.toLocal8Bit().constData());
                if (!options.screenshot.isEmpty()) {
                    return 1;
                }
            } else {
                window.SelectScopeItem(item);
            }
        }
        if (!options.row.isEmpty() && !SelectResultRow(window, options.row)) {
            std::fprintf(stderr, "zyr-security-manager: no row %s\n", options.row.toLocal8Bit().constData());
            if (!options.screenshot.isEmpty()) {
                return 1;
            }
        }
        presser.CancelFromNowOn();
        if (options.open.startsWith(QLatin1String("menu:"))) {
            std::unique_ptr<QMenu> menu(window.BuildContextMenu(session.Focus()));
            QAction* action = menu ? FindMenuAction(menu.get(), options.open.mid(5)) : nullptr;
            if (action == nullptr) {
                std::fprintf(stderr, "zyr-security-manager: no menu command %s\n",
                             options.open.mid(5).toLocal8Bit().constData());
                if (!options.screenshot.isEmpty()) {
                    return 1;
                }
            } else {
                action->trigger();
            }
        } else if (options.open == QLatin1String("properties")) {
            window.OpenProperties(session.Focus());
        } else if (options.open == QLatin1String("about")) {
            window.ShowAbout();
        } else if (options.open == QLatin1String("help")) {
            window.ShowHelp();
        }
        if (!options.press.isEmpty() && !PressButton(&window, options.press)) {
            std::fprintf(stderr, "zyr-security-manager: no button %s\n",
                         options.press.toLocal8Bit().constData());
            if (!options.screenshot.isEmpty()) {
                return 1;
            }
        }
        if (!options.screenshot.isEmpty()) {
            QTimer::singleShot(0, &window, [&] {
                QApplication::processEvents();
                if (!zyr::host::SaveWindowPictures(&window, options.screenshot)) {
                    std::fprintf(stderr, "zyr-security-manager: cannot write %s\n",
                                 options.screenshot.toLocal8Bit().constData());
                    status = 1;
                }
                QApplication::quit();
            });
        }
        int code = QApplication::exec();
        if (options.screenshot.isEmpty()) {
            window.KeepPlacement();
        }
        if (status == 0) {
            status = code;
        }
    }
    return status;
}
