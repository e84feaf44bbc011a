#include "pages/NTAdvancedDlg.h"

#include "pages/OwnedDialog.h"
#include "pages/QtText.h"
#include "platform/ui/UiService.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CNTAdvancedDlg::~CNTAdvancedDlg()
{
    delete dialog_.data();
}

QDialog* CNTAdvancedDlg::Create(QWidget* parent)
{
    QDialog* dialog = zyr::pages::RenewOwnedDialog(dialog_, parent, QString::number(IDD), "Advanced");
    if (dialog == nullptr) {
        return nullptr;
    }
    auto* layout = new QVBoxLayout(dialog);
    auto* box = new QGroupBox("Role Member");
    auto* boxLayout = new QVBoxLayout(box);
    name_ = new QLineEdit;
    name_->setObjectName("351");
    boxLayout->addWidget(name_);
    auto* types = new QHBoxLayout;
    user_ = new QRadioButton("User");
    user_->setObjectName("366");
    group_ = new QRadioButton("Group");
    group_->setObjectName("367");
    types->addWidget(user_);
    types->addWidget(group_);
    types->addStretch(1);
    boxLayout->addLayout(types);
    layout->addWidget(box);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* add = new QPushButton("Add");
    add->setObjectName("1");
    add->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("2");
    buttons->addWidget(add);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    // WM_INITDIALOG: the hint stands in the edit, no type is chosen.
    name_->setText(kHint);
    m_nType = kNotChosen;
    QObject::connect(user_, &QRadioButton::toggled, dialog, [this](bool on) {
        if (on) {
            m_nType = kUser;
        }
    });
    QObject::connect(group_, &QRadioButton::toggled, dialog, [this](bool on) {
        if (on) {
            m_nType = kGroup;
        }
    });
    QObject::connect(add, &QPushButton::clicked, dialog, [this] { OnAdd(); });
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return dialog;
}

int CNTAdvancedDlg::DoModal(QWidget* parent)
{
    QDialog* dialog = Create(parent);
    if (dialog == nullptr) {
        return -1;
    }
    return dialog->exec() == QDialog::Accepted ? zyr::ui::IDOK : zyr::ui::IDCANCEL;
}

void CNTAdvancedDlg::OnAdd()
{
    if (dialog_ == nullptr) {
        return;
    }
    zyr::ui::UiService& ui = zyr::ui::Ui();
    const std::string name = zyr::pages::FromQString(name_->text());
    if (name.empty()) {
        ui.MessageBox(dialog_.data(), "Role Member Name must be specified", kCaption, zyr::ui::MB_OK);
        return;
    }
    if (m_nType == kNotChosen) {
        ui.MessageBox(dialog_.data(), "MemberType must be specified", kCaption, zyr::ui::MB_OK);
        return;
    }
    if (ui.MessageBox(dialog_.data(), "The Role member is not verified. Do you want to continue", kCaption,
                      zyr::ui::MB_ICONWARNING | zyr::ui::MB_YESNO) != zyr::ui::IDYES) {
        return;
    }
    m_strName = name;
    dialog_->accept();
}
