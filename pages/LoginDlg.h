// The sign-in dialog (dialog 176): the operator's account, or the account
// that is logged on, checked by the framework's components before the console
// shows anything. OK hands the fields to the sign-in decision and does what it
// says; Cancel ends the dialog with IDCANCEL.
#pragma once

#include "platform/mmc/ConsoleTypes.h"
#include "signin/LoginSettings.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;

class QLabel;
class QLineEdit;
class QWidget;

class CLoginDlg {
public:
    static constexpr int IDD = 176;

    explicit CLoginDlg(HWND parent = nullptr) : parent_(parent) {}
    ~CLoginDlg();
    CLoginDlg(const CLoginDlg&) = delete;
    CLoginDlg& operator=(const CLoginDlg&) = delete;

    // Builds and shows the dialog modally: IDOK when the operator may open
    // the console, IDCANCEL otherwise, -1 when it cannot be shown.
    int DoModal();

    // Builds the dialog and runs its initialisation without showing it; the
    // dialog stays until the object goes (DoModal builds it itself).
    QDialog* Create();

    // The handlers of the check box and of OK.
    void OnLogonUserClicked();
    void OnOK();

    // Exchanges the fields with the controls, in the order domain, password,
    // user name, check box: true reads the controls, false shows the fields.
    void UpdateData(bool saveAndValidate);

    QDialog* Dialog() const { return dialog_.data(); }

    zyr::signin::LoginFields m_fields;

private:
    void ApplyView(const zyr::signin::LoginFieldsView& view);

    HWND parent_;
    QPointer<QDialog> dialog_;
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* domain_ = nullptr;
    QLabel* domainLabel_ = nullptr;
    QCheckBox* useLogonUser_ = nullptr;
};
