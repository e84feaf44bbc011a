#include "pages/AccountPickerDlg.h"

#include "pages/OwnedDialog.h"
#include "pages/QtText.h"
#include "pages/RoleMemberList.h"

#include <QDialog>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
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

zyr::pages::MemberPicture PictureOf(zyr::identity::AccountKind kind)
{
    switch (kind) {
    case zyr::identity::AccountKind::Everyone:
        return zyr::pages::MemberPicture::Everyone;
    case zyr::identity::AccountKind::Group:
        return zyr::pages::MemberPicture::Group;
    case zyr::identity::AccountKind::User:
        break;
    }
    return zyr::pages::MemberPicture::User;
}

// Up and Down in the search box move in the list; Enter takes its current
// row.
class SearchKeys : public QObject {
public:
    SearchKeys(QTreeWidget* list, QDialog* dialog) : QObject(dialog), list_(list), dialog_(dialog) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) {
            return QObject::eventFilter(watched, event);
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            Move(key == Qt::Key_Down ? 1 : -1);
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            QTreeWidgetItem* current = list_->currentItem();
            if (current != nullptr && !current->isHidden()) {
                current->setSelected(true);
                dialog_->accept();
            }
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void Move(int step)
    {
        const int count = list_->topLevelItemCount();
        int row = list_->currentItem() != nullptr ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
        if (row < 0 && step < 0) {
            row = count;
        }
        for (int next = row + step; next >= 0 && next < count; next += step) {
            if (!list_->topLevelItem(next)->isHidden()) {
                // The rows picked so far stay picked.
                list_->setCurrentItem(list_->topLevelItem(next), 0, QItemSelectionModel::NoUpdate);
                return;
            }
        }
    }

    QTreeWidget* list_;
    QDialog* dialog_;
};

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
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list_->topLevelItem(row);
        const size_t index = item->data(0, kAccountIndexRole).toULongLong();
        item->setHidden(!zyr::identity::MatchesSearch(accounts_[index], wanted));
    }
}

HRESULT CAccountPickerDlg::InvokeDialog(QWidget* owner, std::vector<PickedAccount>& selections)
{
    selections.clear();
    QDialog* dialog = zyr::pages::RenewOwnedDialog(dialog_, owner, "AccountPicker", "Select Users or Groups");
    if (dialog == nullptr) {
        return E_FAIL;
    }
    auto* layout = new QVBoxLayout(dialog);
    auto* label = new QLabel("&Search:");
    search_ = new QLineEdit;
    search_->setObjectName("search");
    search_->setPlaceholderText("Part of a name, e.g. DOMAIN\\name");
    label->setBuddy(search_);
    layout->addWidget(label);
    layout->addWidget(search_);
    list_ = new QTreeWidget;
    list_->setObjectName("accounts");
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({"Name", "Type", "Full Name"});
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (size_t i = 0; i < accounts_.size(); ++i) {
        const zyr::identity::DirectoryAccount& account = accounts_[i];
        auto* item = new QTreeWidgetItem(list_, {zyr::pages::ToQString(account.DisplayName()),
                                                 QString::fromLatin1(KindText(account.kind)),
                                                 zyr::pages::ToQString(account.fullName)});
        item->setIcon(0, zyr::pages::MemberIcon(PictureOf(account.kind)));
        item->setToolTip(0, item->text(0));
        item->setData(0, kAccountIndexRole, static_cast<qulonglong>(i));
    }
    list_->resizeColumnToContents(0);
    list_->resizeColumnToContents(1);
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName("1");
    ok->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
    layout->addWidget(buttons);
    search_->installEventFilter(new SearchKeys(list_, dialog));
    QObject::connect(search_, &QLineEdit::textChanged, dialog,
                     [this](const QString& text) { ShowMatching(text); });
    // With nothing picked there is nothing to take.
    QObject::connect(list_, &QTreeWidget::itemSelectionChanged, dialog,
                     [this, ok] { ok->setEnabled(!list_->selectedItems().isEmpty()); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(list_, &QTreeWidget::itemDoubleClicked, dialog, &QDialog::accept);
    dialog->resize(480, 480);

    if (dialog->exec() != QDialog::Accepted) {
        return S_FALSE;
    }
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list_->topLevelItem(row);
        if (!item->isSelected() || item->isHidden()) {
            continue;
        }
        const zyr::identity::DirectoryAccount& account =
            accounts_[item->data(0, kAccountIndexRole).toULongLong()];
        selections.push_back(
            {account.kind == zyr::identity::AccountKind::User ? "User" : "Group", account.DisplayName()});
    }
    return S_OK;
}
