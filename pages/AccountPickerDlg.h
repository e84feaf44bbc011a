// The account picker of the role member page: "Everyone", the groups and the
// users the name service knows, searchable and with several selectable at
// once. It answers as an object picker does: S_OK with the selections, each a
// class ("Group" or "User") and a name, or S_FALSE when cancelled.
#pragma once

#include "platform/com/WinTypes.h"
#include "platform/identity/AccountDirectory.h"

#include <QDialog>
#include <QPointer>

#include <string>
#include <vector>

class QDialog;
class QLineEdit;
class QTreeWidget;
class QWidget;

struct PickedAccount {
    std::string objectClass; // "Group" (Everyone included) or "User"
    std::string name;        // "Everyone" or DOMAIN\name
};

class CAccountPickerDlg {
public:
    explicit CAccountPickerDlg(std::vector<zyr::identity::DirectoryAccount> accounts);
    ~CAccountPickerDlg();
    CAccountPickerDlg(const CAccountPickerDlg&) = delete;
    CAccountPickerDlg& operator=(const CAccountPickerDlg&) = delete;

    // Shows the picker modally over owner. S_OK with the selections in list
    // order, S_FALSE when cancelled, E_FAIL without a toolkit.
    HRESULT InvokeDialog(QWidget* owner, std::vector<PickedAccount>& selections);

    QDialog* Dialog() const { return dialog_.data(); }
    QLineEdit* SearchEdit() const { return search_; }
    QTreeWidget* AccountList() const { return list_; }

private:
    void ShowMatching(const QString& text);

    std::vector<zyr::identity::DirectoryAccount> accounts_;
    QPointer<QDialog> dialog_;
    QLineEdit* search_ = nullptr;
    QTreeWidget* list_ = nullptr;
};
