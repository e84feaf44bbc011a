// The New dialogs of the application side: the name and description of a
// new application (dialog 202), secure group (221) or securable object (220).
// OK accepts a name that is not blank and holds no reserved characters, and
// keeps it trimmed; the description is kept as typed.
#pragma once

#include "console/framework/ApplicationUi.h"
#include "pages/KVTDialog.h"

#include <string>

class QLineEdit;

namespace zyr::pages {

// What tells the three dialogs apart.
struct NewItemLayout {
    int dialog = 0;
    const char* title = "";
    int nameId = 0;
    int descriptionId = 0;
    UINT emptyNameMessage = 0;
    // The OK button stops being the default button while the description
    // edit has the focus.
    bool descriptionTakesDefault = false;
    // The description edit follows its limit notice with a second one.
    bool repeatDescriptionLimit = false;
};

// The shared body of the dialogs; T names the class for the base.
template <typename T>
class CNewItemDialog : public CKVTDialog<T> {
public:
    static constexpr int kTextLimit = 255;

    explicit CNewItemDialog(const NewItemLayout& layout) : layout_(layout) {}

    bool BuildDialog(QDialog& dialog) { return Build(dialog, this->AddOkCancel(dialog)); }
    void OnOK();

    // After IDOK: the trimmed name and the description.
    std::string m_name;
    std::string m_description;

    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* DescriptionEdit() const { return description_; }

private:
    bool Build(QDialog& dialog, QDialogButtonBox* buttons);

    NewItemLayout layout_;
    QLineEdit* name_ = nullptr;
    QLineEdit* description_ = nullptr;
};

// Runs the dialog of the kind over parent; true after OK with texts filled.
bool RunNewItemDialog(zyr::console::NewItemKind kind, HWND parent, zyr::console::NewItemTexts* texts);

} // namespace zyr::pages

class CNewApplDialog : public zyr::pages::CNewItemDialog<CNewApplDialog> {
public:
    static constexpr int IDD = 202;
    CNewApplDialog();
};

class CNewSecGroupDialog : public zyr::pages::CNewItemDialog<CNewSecGroupDialog> {
public:
    static constexpr int IDD = 221;
    CNewSecGroupDialog();
};

class CNewSecObjDialog : public zyr::pages::CNewItemDialog<CNewSecObjDialog> {
public:
    static constexpr int IDD = 220;
    CNewSecObjDialog();
};
