#include "pages/NewItemDialogs.h"

#include "common/QueryEscape.h"
#include "common/StringTable.h"
#include "pages/PageControls.h"
#include "pages/QtText.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace zyr::pages {
namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string Trimmed(std::string_view text)
{
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(kBlanks);
    return std::string(text.substr(first, last - first + 1));
}

// Takes the default-button style from OK while the description edit has the
// focus, so that Enter there does not end the dialog.
class DefaultButtonRelease : public QObject {
public:
    DefaultButtonRelease(QLineEdit* edit, QPushButton* ok) : QObject(edit), ok_(ok) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn && ok_ != nullptr) {
            ok_->setDefault(false);
            ok_->setAutoDefault(false);
        }
        return false;
    }

private:
    QPushButton* ok_;
};

QLineEdit* AddEdit(QGridLayout* grid, int row, const char* label, int id)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::number(id));
    edit->setMaxLength(255);
    auto* text = new QLabel(label);
    text->setBuddy(edit);
    grid->addWidget(text, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

} // namespace

template <typename T>
bool CNewItemDialog<T>::Build(QDialog& dialog, QDialogButtonBox* buttons)
{
    dialog.setObjectName(QString::number(layout_.dialog));
    dialog.setWindowTitle(layout_.title);
    auto* grid = new QGridLayout;
    name_ = AddEdit(grid, 0, "&Name:", layout_.nameId);
    description_ = AddEdit(grid, 1, "&Description:", layout_.descriptionId);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setDefault(true);

    QDialog* owner = &dialog;
    WatchMaxText(name_, [owner] { ShowMaxTextMessage(owner, zyr::ui::MB_OK); });
    const bool repeat = layout_.repeatDescriptionLimit;
    WatchMaxText(description_, [owner, repeat] {
        ShowMaxTextMessage(owner, zyr::ui::MB_OK);
        if (repeat) {
            zyr::ui::Ui().MessageBox(owner, "Only 255 characters are allowed", "ZYR Security Manager",
                                     zyr::ui::MB_OK);
        }
    });
    if (layout_.descriptionTakesDefault) {
        description_->installEventFilter(new DefaultButtonRelease(description_, ok));
    }
    return true;
}

template <typename T>
void CNewItemDialog<T>::OnOK()
{
    const std::string name = FromQString(name_->text().left(kTextLimit));
    m_description = FromQString(description_->text());
    const std::string trimmed = Trimmed(name);
    if (trimmed.empty()) {
        zyr::ui::Ui().MessageBox(this->Dialog(), LoadStringAnsi(layout_.emptyNameMessage),
                                 LoadStringAnsi(IDS_PROJNAME), zyr::ui::MB_ICONERROR);
        return;
    }
    if (!IsValidNameText(name) || !IsValidNameText(m_description)) {
        return;
    }
    m_name = trimmed;
    this->EndDialog(zyr::ui::IDOK);
}

template class CNewItemDialog<CNewApplDialog>;
template class CNewItemDialog<CNewSecGroupDialog>;
template class CNewItemDialog<CNewSecObjDialog>;

namespace {

template <typename Dialog>
bool RunDialog(HWND parent, zyr::console::NewItemTexts* texts)
{
    Dialog dialog;
    if (dialog.DoModal(parent) != zyr::ui::IDOK) {
        return false;
    }
    texts->name = dialog.m_name;
    texts->description = dialog.m_description;
    return true;
}

} // namespace

bool RunNewItemDialog(zyr::console::NewItemKind kind, HWND parent, zyr::console::NewItemTexts* texts)
{
    if (texts == nullptr) {
        return false;
    }
    switch (kind) {
    case zyr::console::NewItemKind::Application:
        return RunDialog<CNewApplDialog>(parent, texts);
    case zyr::console::NewItemKind::Group:
        return RunDialog<CNewSecGroupDialog>(parent, texts);
    case zyr::console::NewItemKind::Object:
        return RunDialog<CNewSecObjDialog>(parent, texts);
    }
    return false;
}

} // namespace zyr::pages

CNewApplDialog::CNewApplDialog()
    : CNewItemDialog({.dialog = IDD,
                      .title = "New Application",
                      .nameId = 201,
                      .descriptionId = 202,
                      .emptyNameMessage = zyr::IDS_EMPTY_APPLICATION_NAME,
                      .descriptionTakesDefault = true})
{
}

CNewSecGroupDialog::CNewSecGroupDialog()
    : CNewItemDialog({.dialog = IDD,
                      .title = "New Group",
                      .nameId = 251,
                      .descriptionId = 252,
                      .emptyNameMessage = zyr::IDS_EMPTY_GROUP_NAME})
{
}

CNewSecObjDialog::CNewSecObjDialog()
    : CNewItemDialog({.dialog = IDD,
                      .title = "New Securable Object",
                      .nameId = 249,
                      .descriptionId = 250,
                      .emptyNameMessage = zyr::IDS_EMPTY_SECURE_OBJECT_NAME,
                      .repeatDescriptionLimit = true})
{
}
