#include "pages/AccessDialogs.h"

#include "common/StringTable.h"
#include "pages/QtText.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "records/ApplicationDiff.h"
#include "records/ApplicationImport.h"
#include "records/SecureGroup.h"
#include "roles/RoleList.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zyr::pages {

namespace {

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

QTreeWidget* MakeTree(const QStringList& headers)
{
    auto* tree = new QTreeWidget;
    tree->setColumnCount(static_cast<int>(headers.size()));
    tree->setHeaderLabels(headers);
    tree->setAlternatingRowColors(true);
    tree->header()->setStretchLastSection(true);
    return tree;
}

QTreeWidgetItem* Item(QTreeWidgetItem* parent, std::initializer_list<std::string> cells)
{
    QStringList texts;
    for (const auto& cell : cells) {
        texts << ToQString(cell);
    }
    return parent != nullptr ? new QTreeWidgetItem(parent, texts) : new QTreeWidgetItem(texts);
}

// Every row shown, and every column but the last as wide as its texts.
void ShowWhole(QTreeWidget* tree)
{
    tree->expandAll();
    for (int column = 0; column + 1 < tree->columnCount(); ++column) {
        tree->resizeColumnToContents(column);
    }
}

QLabel* Note(const std::string& text)
{
    auto* label = new QLabel(ToQString(text));
    label->setWordWrap(true);
    return label;
}

QDialog* MakeDialog(HWND parent, const char* title, int width, int height)
{
    QWidget* owner = parent != nullptr ? static_cast<QWidget*>(parent) : QApplication::activeWindow();
    auto* dialog = new QDialog(owner);
    dialog->setWindowTitle(title);
    dialog->resize(width, height);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    return dialog;
}

} // namespace

bool RunImportPreview(HWND parent, const CKVTAppl& file, const CKVTApplList& list)
{
    if (QApplication::instance() == nullptr) {
        return true;
    }
    std::unique_ptr<QDialog> dialog(MakeDialog(parent, "Import Application", 620, 460));
    dialog->setObjectName("ImportPreview");
    auto* layout = new QVBoxLayout(dialog.get());
    layout->addWidget(Note("Importing this file adds the application '" + std::string(file.CN.view()) + "' " +
                           std::string(file.DN.view()) + " with:"));
    QTreeWidget* tree = MakeTree({"Item", "Identity or value", "Description"});
    tree->setObjectName("Contents");
    auto* permissions = Item(nullptr, {"Permissions (" + std::to_string(file.Permissions.size()) + ")"});
    for (const auto& permission : file.Permissions) {
        Item(permissions, {std::string(permission.Name.view()), std::string(permission.Value.view())});
    }
    tree->addTopLevelItem(permissions);
    size_t objectCount = 0;
    auto* groups = Item(nullptr, {"Secure groups (" + std::to_string(file.Groups.size()) + ")"});
    for (const auto& group : file.Groups) {
        auto* groupItem = Item(groups, {std::string(group->CN.view()), std::string(group->DN.view()),
                                        std::string(group->Description.view())});
        for (const auto& object : group->Objects) {
            Item(groupItem, {std::string(object->CN.view()), std::string(object->DN.view()),
                             std::string(object->Description.view())});
            ++objectCount;
        }
    }
    tree->addTopLevelItem(groups);
    ShowWhole(tree);
    layout->addWidget(tree, 1);
    layout->addWidget(Note(std::to_string(file.Groups.size()) + " secure groups and " +
                           std::to_string(objectCount) + " securable objects. " +
                           zyr::records::kExportHoldsNoEntriesNote));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    if (const CKVTAppl* existing = zyr::records::FindCounterpart(list, file)) {
        auto* warning = Note(std::string(zyr::records::kApplicationExistsMessage) + " ('" +
                             std::string(existing->CN.view()) + "' " + std::string(existing->DN.view()) +
                             "): the server will refuse this import.");
        warning->setObjectName("Warning");
        warning->setStyleSheet("color: #a00000; font-weight: bold");
        layout->addWidget(warning);
    }
    buttons->button(QDialogButtonBox::Ok)->setText("&Import");
    // A file the server would refuse is not offered for import.
    buttons->button(QDialogButtonBox::Ok)->setEnabled(zyr::records::FindCounterpart(list, file) == nullptr);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog.get(), &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog.get(), &QDialog::reject);
    layout->addWidget(buttons);
    return dialog->exec() == QDialog::Accepted;
}

void RunWhoHasAccess(HWND parent, const CKVTAppl& application, const CKVTSecGroup* group,
                     const CKVTApplSecObj* object)
{
    if (QApplication::instance() == nullptr) {
        return;
    }
    const CKVTRoleList* roles = zyr::records::CurrentRoleList();
    const std::vector<AccessEntry>& acl = object != nullptr  ? object->ACL
                                          : group != nullptr ? group->ACL
                                                             : application.ACL;
    zyr::records::AccessPlace place{std::string(application.CN.view()),
                                    group != nullptr ? std::string(group->CN.view()) : std::string(),
                                    object != nullptr ? std::string(object->CN.view()) : std::string()};
    std::unique_ptr<QDialog> dialog(MakeDialog(parent, "Who Has Access", 640, 440));
    dialog->setObjectName("WhoHasAccess");
    auto* layout = new QVBoxLayout(dialog.get());
    layout->addWidget(Note("The roles granted each permission on the " + place.Kind() + " '" + place.Path() +
                           "', with their members:"));
    QTreeWidget* tree = MakeTree({"Permission / Role", "Users", "Groups"});
    tree->setObjectName("Holders");
    for (const auto& permission : application.Permissions) {
        const uint32_t bits = zyr::records::PermissionBits(permission);
        auto* item = Item(nullptr, {std::string(permission.Name.view())});
        const auto holders = roles != nullptr ? zyr::records::WhoCan(acl, bits, *roles)
                                              : std::vector<zyr::records::PermissionHolder>{};
        for (const auto& holder : holders) {
            Item(item, {holder.known ? holder.role : holder.role + " (no such role)",
                        holder.users.empty() ? "-" : Joined(holder.users),
                        holder.groups.empty() ? "-" : Joined(holder.groups)});
        }
        if (holders.empty()) {
            Item(item, {"(no role)"});
        }
        tree->addTopLevelItem(item);
    }
    ShowWhole(tree);
    layout->addWidget(tree, 1);
    layout->addWidget(Note(zyr::records::kGrantsWhereStoredNote));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog.get(), &QDialog::reject);
    layout->addWidget(buttons);
    dialog->exec();
}

void FillEffectiveAccess(QTreeWidget* tree, const std::vector<zyr::records::PlaceAccess>& places)
{
    tree->clear();
    for (const auto& place : places) {
        auto* item = Item(nullptr, {place.place.Path() + " (" + place.place.Kind() + ")"});
        for (const auto& permission : place.permissions) {
            Item(item, {"", permission.name, Joined(permission.roles)});
        }
        tree->addTopLevelItem(item);
    }
    ShowWhole(tree);
}

} // namespace zyr::pages
