#include "pages/AccountPickerDlg.h"

#include "pages/QtText.h"

#include <QDialog>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kAccountIndexRole = Qt::UserRole;

const char* KindText(zyr::identity::AccountKind kind)
{
    switch (kind) {
    case zyr::identity::AccountKind::Everyone:
        return "Well-known group";
    case zyr::identity::AccountKind::Group:
        return "Group";
    case zyr::identity::AccountKind::User:
        return "User";
    }
    return "";
}

} // namespace

CAccountPickerDlg::CAccountPickerDlg(std::vector<zyr::identity::DirectoryAccount> accounts)
    : accounts_(std::move(accounts))
{
}

CAccountPickerDlg::~CAccountPickerDlg()
{
    delete dialog_.data();
}

void CAccountPickerDlg::ShowMatching(const QString& text)
{
    const std::string wanted = zyr::pages::FromQString(text.trimmed());
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        const size_t index = item->data(kAccountIndexRole).toULongLong();
        item->setHidden(!zyr::identity::MatchesSearch(accounts_[index], wanted));
    }
}

HRESULT CAccountPickerDlg::InvokeDialog(QWidget* owner, std::vector<PickedAccount>& selections)
{
    selections.clear();
    if (QApplication::instance() == nullptr) {
        return E_FAIL;
    }
    delete dialog_.data();
    auto* dialog = new QDialog(owner);
    dialog_ = dialog;
    dialog->setObjectName("AccountPicker");
    dialog->setWindowTitle("Select Users or Groups");
    auto* layout = new QVBoxLayout(dialog);
    auto* label = new QLabel("&Search:");
    search_ = new QLineEdit;
    search_->setObjectName("search");
    search_->setPlaceholderText("Part of a name, e.g. DOMAIN\\name");
    label->setBuddy(search_);
    layout->addWidget(label);
    layout->addWidget(search_);
    list_ = new QListWidget;
    list_->setObjectName("accounts");
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (size_t i = 0; i < accounts_.size(); ++i) {
        const zyr::identity::DirectoryAccount& account = accounts_[i];
        auto* item = new QListWidgetItem(zyr::pages::ToQString(account.DisplayName()), list_);
        item->setToolTip(KindText(account.kind));
        item->setData(kAccountIndexRole, static_cast<qulonglong>(i));
    }
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
    layout->addWidget(buttons);
    QObject::connect(search_, &QLineEdit::textChanged, dialog,
                     [this](const QString& text) { ShowMatching(text); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(list_, &QListWidget::itemDoubleClicked, dialog, &QDialog::accept);
    dialog->resize(420, 480);

    if (dialog->exec() != QDialog::Accepted) {
        return S_FALSE;
    }
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        if (!item->isSelected() || item->isHidden()) {
            continue;
        }
        const zyr::identity::DirectoryAccount& account =
            accounts_[item->data(kAccountIndexRole).toULongLong()];
        selections.push_back(
            {account.kind == zyr::identity::AccountKind::User ? "User" : "Group", account.DisplayName()});
    }
    return S_OK;
}
