#include "pages/LogFilterDlg.h"

#include "common/StringTable.h"
#include "platform/ui/UiService.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cstdio>

namespace {

// Two date-and-time values closer than this count as equal.
constexpr qint64 kSameMomentMs = 500;

std::string DateText(const QDate& date)
{
    char text[48];
    std::snprintf(text, sizeof(text), "%d/%d/%d", date.month(), date.day(), date.year());
    return text;
}

QDateEdit* MakePicker(const char* id)
{
    auto* picker = new QDateEdit;
    picker->setObjectName(id);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat("M/d/yyyy");
    return picker;
}

QGroupBox* MakeGroup(const char* title, const char* id, QDateEdit* picker)
{
    auto* group = new QGroupBox(title);
    group->setObjectName(id);
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(picker);
    return group;
}

} // namespace

CLogFilterDlg::CLogFilterDlg()
{
    // One moment for both, so that an untouched range is never "backwards".
    const QDateTime now = QDateTime::currentDateTime();
    m_fromDate = now;
    m_toDate = now;
}

bool CLogFilterDlg::BuildDialog(QDialog& dialog)
{
    dialog.setObjectName(QString::number(IDD));
    dialog.setWindowTitle("Log Filter Dialog");
    auto* layout = new QVBoxLayout(&dialog);

    allLogs_ = new QCheckBox("All Logs");
    allLogs_->setObjectName("315");
    layout->addWidget(allLogs_);
    fromPicker_ = MakePicker("325");
    fromGroup_ = MakeGroup("From Date", "316", fromPicker_);
    layout->addWidget(fromGroup_);
    toPicker_ = MakePicker("326");
    toGroup_ = MakeGroup("To Date", "317", toPicker_);
    layout->addWidget(toGroup_);
    layout->addWidget(AddOkCancel(dialog));
    QObject::connect(allLogs_, &QCheckBox::clicked, &dialog, [this] { OnAllLogsClicked(); });

    // The dialog opens on "All Logs", with the dates shown but not in use.
    UpdateData(false);
    allLogs_->setChecked(true);
    OnAllLogsClicked();
    return true;
}

void CLogFilterDlg::OnAllLogsClicked()
{
    const bool useDates = !allLogs_->isChecked();
    fromGroup_->setEnabled(useDates);
    toGroup_->setEnabled(useDates);
    fromPicker_->setEnabled(useDates);
    toPicker_->setEnabled(useDates);
}

void CLogFilterDlg::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        // The pickers choose days; the time of day stays that of the start.
        m_fromDate = QDateTime(fromPicker_->date(), m_fromDate.time());
        m_toDate = QDateTime(toPicker_->date(), m_toDate.time());
        m_bAllLogs = allLogs_->isChecked();
    } else {
        fromPicker_->setDate(m_fromDate.date());
        toPicker_->setDate(m_toDate.date());
        allLogs_->setChecked(m_bAllLogs);
    }
}

void CLogFilterDlg::OnOK()
{
    UpdateData(true);
    if (m_toDate.msecsTo(m_fromDate) > kSameMomentMs) {
        zyr::ui::Ui().MessageBox(Dialog(), zyr::LoadStringAnsi(zyr::IDS_FROM_DATE_AFTER_TO_DATE),
                                 zyr::LoadStringAnsi(zyr::IDS_PROJNAME),
                                 zyr::ui::MB_OK | zyr::ui::MB_ICONINFORMATION);
        return;
    }
    EndDialog(zyr::ui::IDOK);
}

std::string CLogFilterDlg::GetFromText() const
{
    return DateText(m_fromDate.date());
}

std::string CLogFilterDlg::GetToText() const
{
    return DateText(m_toDate.date().addDays(1));
}

namespace zyr::pages {

bool RunLogFilterDialog(HWND parent, zyr::console::LogFilterChoice* choice)
{
    if (choice == nullptr) {
        return false;
    }
    CLogFilterDlg dialog;
    if (dialog.DoModal(parent) != zyr::ui::IDOK) {
        return false;
    }
    choice->allLogs = dialog.m_bAllLogs;
    choice->fromText = dialog.m_bAllLogs ? std::string() : dialog.GetFromText();
    choice->toText = dialog.m_bAllLogs ? std::string() : dialog.GetToText();
    return true;
}

bool LogFilterWindow::RunLogFilterDialog(HWND parent, zyr::console::LogFilterChoice& choice)
{
    return zyr::pages::RunLogFilterDialog(parent, &choice);
}

void InstallLogUi()
{
    static LogFilterWindow window;
    zyr::console::SetLogUi(&window);
}

} // namespace zyr::pages
