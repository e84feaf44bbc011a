// The roles of one account (dialog 250): a domain and a user name, or both
// empty for the account signed in to the computer; "&Get Roles" lists the
// account's roles with their count. The dialog reads; it changes nothing.
#pragma once

#include <QDialog>
#include <QPointer>

#include <string>

class QLabel;
class QLineEdit;
class QTreeWidget;

class FindUserDlg {
public:
    static constexpr int IDD = 250;

    FindUserDlg() = default;
    ~FindUserDlg();
    FindUserDlg(const FindUserDlg&) = delete;
    FindUserDlg& operator=(const FindUserDlg&) = delete;

    // Shows the dialog modally, without a parent window; IDOK when closed.
    int DoModal();
    // Builds the dialog without showing it (DoModal builds it itself).
    QDialog* Create();

    // Button 9: the query.
    void OnGetRoles();

    QDialog* Dialog() const { return dialog_.data(); }

    std::string m_strUserName;
    std::string m_strDomain;

private:
    void UpdateData(bool saveAndValidate);

    QPointer<QDialog> dialog_;
    QLineEdit* userName_ = nullptr;
    QLineEdit* domain_ = nullptr;
    QTreeWidget* roles_ = nullptr;
    QTreeWidget* access_ = nullptr;
    QLabel* count_ = nullptr;
};
