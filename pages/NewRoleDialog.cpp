#include "pages/NewRoleDialog.h"

#include "common/QueryEscape.h"
#include "common/StringTable.h"
#include "pages/QtText.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

bool CNewRoleDialog::BuildDialog(QDialog& dialog)
{
    dialog.setObjectName(QString::number(IDD));
    dialog.setWindowTitle("New Role");
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    name_ = new QLineEdit;
    name_->setObjectName("244");
    description_ = new QLineEdit;
    description_->setObjectName("245");
    // WM_INITDIALOG: both edits take at most 255 characters; one more is
    // refused with a message.
    for (QLineEdit* edit : {name_, description_}) {
        edit->setMaxLength(kMaxText);
        QObject::connect(edit, &QLineEdit::inputRejected, &dialog, [this, edit] {
            if (edit->text().size() >= kMaxText) {
                OnMaxText();
            }
        });
    }
    form->addRow("&Name:", name_);
    form->addRow("&Description:", description_);
    layout->addLayout(form);
    layout->addWidget(AddOkCancel(dialog));
    return true;
}

void CNewRoleDialog::OnMaxText()
{
    zyr::ui::Ui().MessageBox(Dialog(), zyr::LoadStringAnsi(zyr::IDS_ONLY_255_CHARACTERS),
                             zyr::LoadStringAnsi(zyr::IDS_PROJNAME), zyr::ui::MB_OK);
}

void CNewRoleDialog::OnOK()
{
    const std::string caption = zyr::LoadStringAnsi(zyr::IDS_PROJNAME);
    // Blanks around the name, in whatever script, are not part of it.
    const std::string name = zyr::pages::FromQString(name_->text().left(kMaxText).trimmed());
    const std::string description = zyr::pages::FromQString(description_->text().left(kMaxText));
    if (name.empty()) {
        zyr::ui::Ui().MessageBox(Dialog(), zyr::LoadStringAnsi(zyr::IDS_EMPTY_ROLE_NAME), caption,
                                 zyr::ui::MB_ICONERROR);
        return;
    }
    if (name.size() == 1) {
        zyr::ui::Ui().MessageBox(Dialog(), zyr::LoadStringAnsi(zyr::IDS_ROLE_NAME_TOO_SHORT), caption,
                                 zyr::ui::MB_ICONINFORMATION);
        return;
    }
    m_strName = name;
    m_strDescription = description;
    if (IsValidNameText(m_strName) && IsValidNameText(m_strDescription)) {
        EndDialog(zyr::ui::IDOK);
    }
}
