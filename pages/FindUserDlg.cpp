#include "pages/FindUserDlg.h"

#include "pages/AccessDialogs.h"
#include "pages/OwnedDialog.h"
#include "pages/QtText.h"
#include "platform/identity/Identity.h"
#include "platform/ui/UiService.h"
#include "records/Application.h"
#include "records/EffectiveAccess.h"
#include "roles/RoleList.h"
#include "signin/AccountLookup.h"
#include "signin/FindUser.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kRoleColumnWidth = 206;

} // namespace

FindUserDlg::~FindUserDlg()
{
    delete dialog_.data();
}

QDialog* FindUserDlg::Create()
{
    QDialog* dialog = zyr::pages::RenewOwnedDialog(dialog_, nullptr, QString::number(IDD), "Find User");
    if (dialog == nullptr) {
        return nullptr;
    }
    // Wide enough for the effective access's places and permissions.
    dialog->resize(600, 480);

    auto* layout = new QVBoxLayout(dialog);
    auto* grid = new QGridLayout;
    auto* userLabel = new QLabel("User Name:");
    userName_ = new QLineEdit;
    userName_->setObjectName("389");
    userLabel->setBuddy(userName_);
    auto* domainLabel = new QLabel("Domain:");
    domain_ = new QLineEdit;
    domain_->setObjectName("390");
    domainLabel->setBuddy(domain_);
    grid->addWidget(userLabel, 0, 0);
    grid->addWidget(userName_, 0, 1);
    grid->addWidget(domainLabel, 1, 0);
    grid->addWidget(domain_, 1, 1);
    layout->addLayout(grid);

    auto* getRoles = new QPushButton("&Get Roles");
    getRoles->setObjectName("9");
    getRoles->setDefault(true);
    layout->addWidget(getRoles, 0, Qt::AlignRight);

    // WM_INITDIALOG: the one column, left-aligned.
    roles_ = new QTreeWidget;
    roles_->setObjectName("391");
    roles_->setRootIsDecorated(false);
    roles_->setColumnCount(1);
    roles_->setHeaderLabels({"Role Name"});
    roles_->headerItem()->setTextAlignment(0, Qt::AlignLeft);
    roles_->setColumnWidth(0, kRoleColumnWidth);
    // The result: the roles as the authorization component answers them, and
    // what they grant where, from the lists the console holds.
    auto* tabs = new QTabWidget;
    tabs->setObjectName("Result");
    tabs->addTab(roles_, "Roles");
    auto* accessPage = new QWidget;
    auto* accessLayout = new QVBoxLayout(accessPage);
    access_ = new QTreeWidget;
    access_->setObjectName("EffectiveAccess");
    access_->setColumnCount(3);
    access_->setHeaderLabels({"Where", "Permission", "Granted By"});
    accessLayout->addWidget(access_, 1);
    auto* note = new QLabel(zyr::pages::ToQString(zyr::records::kGrantsWhereStoredNote));
    note->setWordWrap(true);
    accessLayout->addWidget(note);
    tabs->addTab(accessPage, "Effective Access");
    layout->addWidget(tabs, 1);

    auto* bottom = new QHBoxLayout;
    count_ = new QLabel;
    count_->setObjectName("392");
    bottom->addWidget(count_, 1);
    auto* close = new QPushButton("&Close");
    close->setObjectName("8");
    bottom->addWidget(close);
    layout->addLayout(bottom);

    QObject::connect(getRoles, &QPushButton::clicked, dialog, [this] { OnGetRoles(); });
    QObject::connect(close, &QPushButton::clicked, dialog, [dialog] { dialog->accept(); });
    UpdateData(false);
    return dialog;
}

int FindUserDlg::DoModal()
{
    QDialog* dialog = Create();
    if (dialog == nullptr) {
        return -1;
    }
    dialog->exec();
    return zyr::ui::IDOK;
}

void FindUserDlg::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        m_strUserName = zyr::pages::FromQString(userName_->text());
        m_strDomain = zyr::pages::FromQString(domain_->text());
    } else {
        userName_->setText(zyr::pages::ToQString(m_strUserName));
        domain_->setText(zyr::pages::ToQString(m_strDomain));
    }
}

void FindUserDlg::OnGetRoles()
{
    if (dialog_ == nullptr) {
        return;
    }
    roles_->clear();
    access_->clear();
    count_->clear();
    UpdateData(true);
    zyr::signin::FindUserAnswer answer = zyr::signin::GetRoles(m_strDomain, m_strUserName);
    if (answer.fieldsFilled) {
        UpdateData(false);
    }
    if (!answer.message.empty()) {
        zyr::ui::Ui().MessageBox(dialog_.data(), answer.message, zyr::signin::kFindUserCaption,
                                 zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
        return;
    }
    count_->setText(zyr::pages::ToQString(answer.countText));
    for (const std::string& role : answer.roles) {
        roles_->addTopLevelItem(new QTreeWidgetItem(QStringList{zyr::pages::ToQString(role)}));
    }
    const CKVTApplList* applications = zyr::records::CurrentApplList();
    const CKVTRoleList* roleList = zyr::records::CurrentRoleList();
    if (applications != nullptr && roleList != nullptr) {
        const std::string computer = zyr::identity::ShortHostName();
        const zyr::signin::AccountIdentity account =
            zyr::signin::LookUpRoleAccount(m_strDomain, m_strUserName, computer);
        zyr::pages::FillEffectiveAccess(
            access_, zyr::records::EffectiveAccess(
                         *applications, zyr::records::RolesOfAccount(*roleList, account, computer)));
    }
}
