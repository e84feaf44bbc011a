// The main window's menu bar (File, Action, View, Help), its title naming the
// shown item, and the Help and About windows.
#include "host/MainWindow.h"

#include "host/WindowPlacement.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace zyr::host {

namespace {

QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

const QString kConsoleName = QStringLiteral("ZYR Security Manager");
// Far more than a help page takes.
constexpr qint64 kMaxHelpPage = 4 << 20;

// The file's text when it is an HTML page (it opens with a doctype or an
// html element) of a sensible size.
bool ReadHtmlPage(const QString& path, QString& html)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxHelpPage) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    const QByteArray start = bytes.left(64).trimmed().toLower();
    if (!start.startsWith("<!doctype html") && !start.startsWith("<html")) {
        return false;
    }
    html = QString::fromUtf8(bytes);
    return true;
}

} // namespace

void MainWindow::BuildMenuBar()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    QAction* exit = file->addAction(tr("E&xit"), this, &QWidget::close);
    exit->setShortcut(QKeySequence::Quit);

    // The selected item's own menu: the same as its context menu.
    actionMenu_ = menuBar()->addMenu(tr("&Action"));
    actionMenu_->setObjectName(QStringLiteral("menuAction"));
    connect(actionMenu_, &QMenu::aboutToShow, this, [this] {
        actionMenu_->clear();
        FillItemMenu(actionMenu_, session_.Focus());
        if (actionMenu_->isEmpty()) {
            actionMenu_->addAction(tr("(No actions)"))->setEnabled(false);
        }
    });

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->setObjectName(QStringLiteral("menuView"));
    view->addAction(refreshAction_);
    filterAction_ = view->addAction(tr("&Filter"), this, [this] {
        filter_->setFocus(Qt::ShortcutFocusReason);
        filter_->selectAll();
    });
    filterAction_->setShortcut(QKeySequence::Find);
    addAction(filterAction_);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    helpAction_ = help->addAction(tr("&Help Topics"), this, &MainWindow::ShowHelp);
    helpAction_->setShortcut(QKeySequence::HelpContents);
    addAction(helpAction_);
    help->addSeparator();
    aboutAction_ = help->addAction(tr("&About %1").arg(kConsoleName), this, &MainWindow::ShowAbout);
    UpdateTitle();
}

void MainWindow::UpdateTitle()
{
    const std::u16string path = session_.Started() ? session_.ItemPath(session_.ShownScope(), u"\\") : u"";
    setWindowTitle(path.empty() ? kConsoleName : kConsoleName + QStringLiteral(" - ") + ToQString(path));
}

void MainWindow::RestorePlacement()
{
    const WindowPlacement placement = LoadWindowPlacement();
    if (!placement.geometry.isEmpty()) {
        restoreGeometry(placement.geometry);
    }
    if (!placement.splitter.isEmpty()) {
        splitter_->restoreState(placement.splitter);
    }
    if (session_.Started() && !placement.lastItem.empty()) {
        if (HSCOPEITEM item = session_.FindByPath(placement.lastItem); item != 0) {
            SelectScopeItem(item);
        }
    }
}

void MainWindow::KeepPlacement()
{
    KeepColumnWidths();
    WindowPlacement placement;
    placement.geometry = saveGeometry();
    placement.splitter = splitter_->saveState();
    if (session_.Started()) {
        placement.lastItem = session_.ItemPath(session_.ShownScope(), u"/");
    }
    SaveWindowPlacement(placement);
}

QDialog* MainWindow::ShowAbout()
{
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("aboutDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("About %1").arg(kConsoleName));
    auto* layout = new QGridLayout(dialog);
    SnapinAbout about;
    const bool known = session_.AboutSnapin(about);
    auto* picture = new QLabel(dialog);
    picture->setObjectName(QStringLiteral("aboutImage"));
    if (!about.imagePng.empty()) {
        QImage image =
            QImage::fromData(about.imagePng.data(), static_cast<int>(about.imagePng.size()), "PNG");
        picture->setPixmap(QPixmap::fromImage(image));
    }
    layout->addWidget(picture, 0, 0, 4, 1, Qt::AlignTop);
    auto* name =
        new QLabel(QStringLiteral("<b>%1</b>").arg(ToQString(session_.ItemName(session_.Root()))), dialog);
    layout->addWidget(name, 0, 1);
    QStringList lines;
    if (known) {
        lines << ToQString(about.description);
        if (!about.provider.empty()) {
            lines << tr("Provider: %1").arg(ToQString(about.provider));
        }
        if (!about.version.empty()) {
            lines << tr("Version: %1").arg(ToQString(about.version));
        }
    }
    auto* text = new QLabel(lines.join(QLatin1Char('\n')), dialog);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setMinimumWidth(text->fontMetrics().averageCharWidth() * 50);
    layout->addWidget(text, 1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    layout->addWidget(buttons, 4, 0, 1, 2);
    dialog->show();
    return dialog;
}

QWidget* MainWindow::ShowHelp()
{
    if (helpWindow_ == nullptr) {
        helpWindow_ = new QTextBrowser(this);
        helpWindow_->setObjectName(QStringLiteral("helpWindow"));
        helpWindow_->setWindowFlag(Qt::Window);
        helpWindow_->setWindowTitle(tr("%1 Help").arg(kConsoleName));
        helpWindow_->resize(640, 480);
    }
    // A compiled help file is shown through the HTML page beside it.
    QFileInfo file(QString::fromStdString(session_.HelpFile()));
    QFileInfo page(file.dir().filePath(file.completeBaseName() + QStringLiteral(".html")));
    if (!file.filePath().isEmpty() &&
        (file.suffix().startsWith(QStringLiteral("htm"), Qt::CaseInsensitive))) {
        page = file;
    }
    QString html;
    if (!file.filePath().isEmpty() && page.isFile()) {
        helpWindow_->setSource(QUrl::fromLocalFile(page.absoluteFilePath()));
    } else if (!file.filePath().isEmpty() && ReadHtmlPage(file.absoluteFilePath(), html)) {
        // A help file that is an HTML page under its compiled name.
        helpWindow_->setSearchPaths({file.absolutePath()});
        helpWindow_->setHtml(html);
    } else {
        helpWindow_->setPlainText(file.filePath().isEmpty()
                                      ? tr("The snap-in names no help file.")
                                      : tr("The help file %1 cannot be shown here.").arg(file.filePath()));
    }
    helpWindow_->show();
    helpWindow_->raise();
    return helpWindow_;
}

} // namespace zyr::host
