#include "pages/DirectoryBrowseDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zyr::pages {

namespace {

using zyr::directory::DirectoryEntry;
using zyr::directory::EntryKind;

constexpr int kDnRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kReadRole = Qt::UserRole + 2;
constexpr size_t kMostFound = 500;

const char* KindText(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Container:
        return "Container";
    case EntryKind::User:
        return "User";
    case EntryKind::Group:
        return "Group";
    case EntryKind::Other:
        break;
    }
    return "";
}

} // namespace

DirectoryBrowseDlg::DirectoryBrowseDlg(std::unique_ptr<zyr::directory::LdapDirectory> directory,
                                       const std::string& error, int pickable, QWidget* parent)
    : QDialog(parent), directory_(std::move(directory)), pickable_(pickable)
{
    setWindowTitle("Browse Directory");
    setObjectName("DirectoryBrowse");
    auto* layout = new QVBoxLayout(this);
    auto* searchRow = new QHBoxLayout;
    search_ = new QLineEdit;
    search_->setObjectName("search");
    search_->setPlaceholderText("Name of a user or group");
    auto* searchButton = new QPushButton("&Search");
    searchButton->setObjectName("searchButton");
    searchRow->addWidget(search_, 1);
    searchRow->addWidget(searchButton);
    layout->addLayout(searchRow);
    tree_ = new QTreeWidget;
    tree_->setObjectName("tree");
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({"Name", "Type"});
    tree_->setColumnWidth(0, 320);
    layout->addWidget(tree_, 1);
    status_ = new QLabel;
    status_->setObjectName("status");
    status_->setWordWrap(true);
    layout->addWidget(status_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    resize(520, 440);

    connect(searchButton, &QPushButton::clicked, this, [this] { OnSearch(); });
    connect(search_, &QLineEdit::returnPressed, this, [this] { OnSearch(); });
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Expand(item); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { UpdateOk(); });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (ok_->isEnabled()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        QTreeWidgetItem* item = tree_->currentItem();
        if (item != nullptr && ok_->isEnabled()) {
            picked_ = item->data(0, kDnRole).toString().toStdString();
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    if (directory_ == nullptr) {
        Fail(error);
        search_->setEnabled(false);
        searchButton->setEnabled(false);
    } else {
        ShowTree();
    }
    UpdateOk();
}

DirectoryBrowseDlg::~DirectoryBrowseDlg() = default;

QTreeWidgetItem* DirectoryBrowseDlg::MakeItem(const DirectoryEntry& entry)
{
    auto* item = new QTreeWidgetItem({QString::fromStdString(entry.name), KindText(entry.kind)});
    item->setData(0, kDnRole, QString::fromStdString(entry.dn));
    item->setData(0, kKindRole, static_cast<int>(entry.kind));
    item->setToolTip(0, QString::fromStdString(entry.dn));
    if (entry.kind == EntryKind::Container) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    return item;
}

void DirectoryBrowseDlg::ShowTree()
{
    tree_->clear();
    DirectoryEntry base{directory_->Settings().base, EntryKind::Container, directory_->Settings().base};
    QTreeWidgetItem* root = MakeItem(base);
    tree_->addTopLevelItem(root);
    root->setExpanded(true);
}

void DirectoryBrowseDlg::Expand(QTreeWidgetItem* item)
{
    if (directory_ == nullptr || item->data(0, kReadRole).toBool() ||
        item->data(0, kKindRole).toInt() != static_cast<int>(EntryKind::Container)) {
        return;
    }
    std::vector<DirectoryEntry> children;
    std::string error;
    if (!directory_->Children(item->data(0, kDnRole).toString().toStdString(), children, error)) {
        Fail(error);
        return;
    }
    item->setData(0, kReadRole, true);
    for (const DirectoryEntry& child : children) {
        item->addChild(MakeItem(child));
    }
    if (children.empty()) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
    status_->clear();
}

void DirectoryBrowseDlg::OnSearch()
{
    if (directory_ == nullptr) {
        return;
    }
    std::string text = search_->text().trimmed().toStdString();
    if (text.empty()) {
        ShowTree();
        return;
    }
    std::vector<DirectoryEntry> found;
    std::string error;
    if (!directory_->SearchAccounts(text, kMostFound, found, error)) {
        Fail(error);
        return;
    }
    tree_->clear();
    for (const DirectoryEntry& entry : found) {
        tree_->addTopLevelItem(MakeItem(entry));
    }
    status_->setText(found.empty() ? "No user or group is named so." : QString());
    UpdateOk();
}

void DirectoryBrowseDlg::UpdateOk()
{
    QTreeWidgetItem* item = tree_->currentItem();
    int kind = item != nullptr ? item->data(0, kKindRole).toInt() : -1;
    bool pickable = (kind == static_cast<int>(EntryKind::User) && (pickable_ & kUsers) != 0) ||
                    (kind == static_cast<int>(EntryKind::Group) && (pickable_ & kGroups) != 0);
    ok_->setEnabled(pickable);
}

void DirectoryBrowseDlg::Fail(const std::string& error)
{
    status_->setText(QString::fromStdString(error));
}

} // namespace zyr::pages
