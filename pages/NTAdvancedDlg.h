// The "Advanced" dialog (dialog 234): one role member typed by hand, as a
// user or a group, added without being looked up.
#pragma once

#include <QDialog>
#include <QPointer>

#include <string>

class QDialog;
class QLineEdit;
class QRadioButton;
class QWidget;

class CNTAdvancedDlg {
public:
    static constexpr int IDD = 234;
    static constexpr int kUser = 1;
    static constexpr int kGroup = 2;
    static constexpr int kNotChosen = 7;
    static constexpr const char* kHint = "<domain\\user>";
    static constexpr const char* kCaption = "ZYR Security";

    CNTAdvancedDlg() = default;
    ~CNTAdvancedDlg();
    CNTAdvancedDlg(const CNTAdvancedDlg&) = delete;
    CNTAdvancedDlg& operator=(const CNTAdvancedDlg&) = delete;

    // Shows the dialog modally over parent: IDOK after "Add" (name and type
    // filled), IDCANCEL after "Cancel", -1 without a toolkit.
    int DoModal(QWidget* parent);
    // Builds the dialog without showing it (DoModal builds it itself).
    QDialog* Create(QWidget* parent);
    // Button 1: checks the entry and asks before accepting it.
    void OnAdd();

    QDialog* Dialog() const { return dialog_.data(); }
    QLineEdit* NameEdit() const { return name_; }
    QRadioButton* UserButton() const { return user_; }
    QRadioButton* GroupButton() const { return group_; }

    std::string m_strName;
    int m_nType = kNotChosen;

private:
    QPointer<QDialog> dialog_;
    QLineEdit* name_ = nullptr;
    QRadioButton* user_ = nullptr;
    QRadioButton* group_ = nullptr;
};
