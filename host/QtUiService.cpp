#include "host/QtUiService.h"

#include "platform/text/CodePage.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace zyr::host {

namespace ui = zyr::ui;

QString FromCodePage(const std::string& text)
{
    std::u16string wide = zyr::text::Widen(text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string ToCodePage(const QString& text)
{
    return zyr::text::Narrow(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                 static_cast<size_t>(text.size())));
}

QStringList NameFiltersOf(const std::string& filter)
{
    QStringList parts = FromCodePage(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        if (name.isEmpty() && patterns.isEmpty()) {
            continue;
        }
        if (!name.contains(QLatin1Char('('))) {
            name += QStringLiteral(" (") + patterns + QLatin1Char(')');
        } else if (!patterns.isEmpty() && !name.contains(patterns)) {
            // Qt reads the patterns from the parentheses of the name.
            name = name.left(name.indexOf(QLatin1Char('('))).trimmed() + QStringLiteral(" (") + patterns +
                   QLatin1Char(')');
        }
        filters << name;
    }
    return filters;
}

int QtUiService::MessageBox(ui::OwnerWindow owner, const std::string& text, const std::string& caption,
                            unsigned style)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & ui::MB_ICONMASK) {
    case ui::MB_ICONERROR:
        icon = QMessageBox::Critical;
        break;
    case ui::MB_ICONQUESTION:
        icon = QMessageBox::Question;
        break;
    case ui::MB_ICONWARNING:
        icon = QMessageBox::Warning;
        break;
    case ui::MB_ICONINFORMATION:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (style & ui::MB_TYPEMASK) {
    case ui::MB_OKCANCEL:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case ui::MB_YESNOCANCEL:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case ui::MB_YESNO:
        buttons = QMessageBox::Yes | QMessageBox::No;
        escape = QMessageBox::No;
        break;
    default:
        break;
    }
    QMessageBox box(icon, FromCodePage(caption), FromCodePage(text), buttons, static_cast<QWidget*>(owner));
    box.setEscapeButton(escape);
    // The cursor is an arrow while the operator reads the box.
    bool waiting = waitDepth_ > 0;
    if (waiting) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    int answer = box.exec();
    if (waiting) {
        QApplication::restoreOverrideCursor();
    }
    switch (answer) {
    case QMessageBox::Cancel:
        return ui::IDCANCEL;
    case QMessageBox::Yes:
        return ui::IDYES;
    case QMessageBox::No:
        return ui::IDNO;
    case QMessageBox::Ok:
        return ui::IDOK;
    default:
        // Closed by the window manager: the escape answer.
        return escape == QMessageBox::No ? ui::IDNO : escape == QMessageBox::Cancel ? ui::IDCANCEL : ui::IDOK;
    }
}

void QtUiService::BeginWaitCursor()
{
    ++waitDepth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUiService::EndWaitCursor()
{
    if (waitDepth_ == 0) {
        return; // unbalanced: never pop a cursor someone else pushed
    }
    --waitDepth_;
    QApplication::restoreOverrideCursor();
}

namespace {

bool RunFileDialog(ui::OwnerWindow owner, const ui::FileDialog& dialog, std::string& path, bool save)
{
    QFileDialog box(static_cast<QWidget*>(owner), FromCodePage(dialog.title));
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters = NameFiltersOf(dialog.filter);
    if (!filters.isEmpty()) {
        box.setNameFilters(filters);
    }
    if (!dialog.defaultExt.empty()) {
        box.setDefaultSuffix(FromCodePage(dialog.defaultExt));
    }
    if (!dialog.initialName.empty()) {
        box.selectFile(FromCodePage(dialog.initialName));
    }
    if (save && !dialog.overwritePrompt) {
        box.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) {
        return false;
    }
    path = ToCodePage(box.selectedFiles().front());
    return true;
}

} // namespace

bool QtUiService::GetOpenFileName(ui::OwnerWindow owner, const ui::FileDialog& dialog, std::string& path)
{
    return RunFileDialog(owner, dialog, path, false);
}

bool QtUiService::GetSaveFileName(ui::OwnerWindow owner, const ui::FileDialog& dialog, std::string& path)
{
    return RunFileDialog(owner, dialog, path, true);
}

void InstallQtUiService()
{
    static QtUiService service;
    ui::InstallUiService(&service);
}

} // namespace zyr::host
