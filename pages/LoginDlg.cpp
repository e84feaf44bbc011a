#include "pages/LoginDlg.h"

#include "pages/OwnedDialog.h"
#include "pages/QtText.h"
#include "platform/ui/UiService.h"
#include "signin/SignIn.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QLineEdit* AddEdit(QGridLayout* grid, int row, const char* id, QLabel* label)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(id);
    edit->setMaxLength(255);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

void SetText(QLineEdit* edit, std::string_view text)
{
    edit->setText(zyr::pages::ToQString(text));
}

} // namespace

CLoginDlg::~CLoginDlg()
{
    delete dialog_.data();
}

QDialog* CLoginDlg::Create()
{
    QDialog* dialog = zyr::pages::RenewOwnedDialog(dialog_, static_cast<QWidget*>(parent_),
                                                   QString::number(IDD), "ZYR Security Manager");
    if (dialog == nullptr) {
        return nullptr;
    }

    auto* layout = new QVBoxLayout(dialog);
    auto* header = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setObjectName("185");
    icon->setPixmap(dialog->style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    header->addWidget(icon);
    header->addWidget(new QLabel("Enter a valid user name, password and domain"), 1);
    layout->addLayout(header);

    auto* grid = new QGridLayout;
    userName_ = AddEdit(grid, 0, "1005", new QLabel("&User Name:"));
    password_ = AddEdit(grid, 1, "1001", new QLabel("&Password:"));
    password_->setEchoMode(QLineEdit::Password);
    domainLabel_ = new QLabel("&Domain:");
    domainLabel_->setObjectName("342");
    domain_ = AddEdit(grid, 2, "1105", domainLabel_);
    layout->addLayout(grid);

    useLogonUser_ = new QCheckBox("Use Operating &System Logon User");
    useLogonUser_->setObjectName("1148");
    layout->addWidget(useLogonUser_);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    ok->setObjectName("1");
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("2");
    layout->addWidget(buttons);

    QWidget::setTabOrder(userName_, password_);
    QWidget::setTabOrder(password_, domain_);
    QWidget::setTabOrder(domain_, useLogonUser_);
    QWidget::setTabOrder(useLogonUser_, ok);
    QWidget::setTabOrder(ok, cancel);

    QObject::connect(useLogonUser_, &QCheckBox::clicked, dialog, [this] { OnLogonUserClicked(); });
    QObject::connect(ok, &QPushButton::clicked, dialog, [this] { OnOK(); });
    QObject::connect(cancel, &QPushButton::clicked, dialog, [dialog] { dialog->reject(); });

    ApplyView(zyr::signin::InitializeLoginFields(m_fields));
    return dialog;
}

int CLoginDlg::DoModal()
{
    QDialog* dialog = Create();
    if (dialog == nullptr) {
        return -1;
    }
    return dialog->exec() == QDialog::Accepted ? zyr::ui::IDOK : zyr::ui::IDCANCEL;
}

void CLoginDlg::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        m_fields.domain.Assign(zyr::pages::FromQString(domain_->text()));
        m_fields.password.Assign(zyr::pages::FromQString(password_->text()));
        m_fields.userName.Assign(zyr::pages::FromQString(userName_->text()));
        m_fields.useLogonUser = useLogonUser_->isChecked() ? 1 : 0;
    } else {
        SetText(domain_, m_fields.domain.view());
        SetText(password_, m_fields.password.view());
        SetText(userName_, m_fields.userName.view());
        useLogonUser_->setChecked(m_fields.useLogonUser != 0);
    }
}

void CLoginDlg::ApplyView(const zyr::signin::LoginFieldsView& view)
{
    domainLabel_->setText(view.domainLabel);
    userName_->setEnabled(view.editsEnabled);
    password_->setEnabled(view.editsEnabled);
    domain_->setEnabled(view.editsEnabled);
    UpdateData(false);
}

void CLoginDlg::OnLogonUserClicked()
{
    if (dialog_ == nullptr) {
        return;
    }
    UpdateData(true);
    ApplyView(zyr::signin::OnLogonUserClicked(m_fields));
}

void CLoginDlg::OnOK()
{
    if (dialog_ == nullptr) {
        return;
    }
    UpdateData(true);
    zyr::signin::SignInVerdict verdict = zyr::signin::DecideSignIn(m_fields);
    if (!verdict.message.empty()) {
        zyr::ui::Ui().MessageBox(dialog_.data(), verdict.message, zyr::signin::kSignInCaption,
                                 zyr::ui::MB_OK | verdict.icon);
    }
    if (verdict.end == zyr::signin::SignInEnd::EndOk && dialog_ != nullptr) {
        dialog_->accept();
    }
}
