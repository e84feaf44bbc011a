// The "New Role" dialog (dialog 218): a name of two to 255 characters without
// blanks around it, and a description.
#pragma once

#include "pages/KVTDialog.h"

#include <string>

class QLineEdit;

class CNewRoleDialog : public CKVTDialog<CNewRoleDialog> {
public:
    static constexpr int IDD = 218;
    static constexpr int kMaxText = 255;

    bool BuildDialog(QDialog& dialog);
    // IDOK: accepts a valid name and description; otherwise shows why and
    // keeps the dialog open.
    void OnOK();

    // The trimmed name and the description after OK.
    std::string m_strName;
    std::string m_strDescription;

private:
    // EN_MAXTEXT of either edit.
    void OnMaxText();

    QLineEdit* name_ = nullptr;
    QLineEdit* description_ = nullptr;
};
