// The date filter of the Logs container (dialog 227): "All Logs", or a range
// of days from the From date to the To date, both included. The dates start
// at the moment the dialog object is made; OK refuses a To date before the
// From date.
#pragma once

#include "console/framework/LogUi.h"
#include "pages/KVTDialog.h"

#include <QDateTime>

#include <string>

class QCheckBox;
class QDateEdit;
class QGroupBox;

class CLogFilterDlg : public CKVTDialog<CLogFilterDlg> {
public:
    static constexpr int IDD = 227;

    CLogFilterDlg();

    // Called by the base while the dialog is set up and when OK is pressed.
    bool BuildDialog(QDialog& dialog);
    void OnOK();
    // The "All Logs" box: the dates count exactly when it is not ticked.
    void OnAllLogsClicked();

    // "%d/%d/%d": month, day and four-digit year of the From date.
    std::string GetFromText() const;
    // The same for the day after the To date (the server's To is exclusive).
    // Taking it leaves the dialog's To date as it is.
    std::string GetToText() const;

    QDateTime m_fromDate;
    QDateTime m_toDate;
    bool m_bAllLogs = true;

private:
    // true reads the controls into the fields; false shows the fields.
    void UpdateData(bool saveAndValidate);

    QCheckBox* allLogs_ = nullptr;
    QGroupBox* fromGroup_ = nullptr;
    QGroupBox* toGroup_ = nullptr;
    QDateEdit* fromPicker_ = nullptr;
    QDateEdit* toPicker_ = nullptr;
};

namespace zyr::pages {

// Runs CLogFilterDlg modally over parent; true after OK, with the choice.
bool RunLogFilterDialog(HWND parent, zyr::console::LogFilterChoice* choice);
class LogFilterWindow : public zyr::console::LogUi {
public:
    bool RunLogFilterDialog(HWND parent, zyr::console::LogFilterChoice& choice) override;
};

// Installs the log side's windows for the node logic.
void InstallLogUi();

} // namespace zyr::pages
