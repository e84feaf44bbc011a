// The directory browser: the plant directory as a tree from the search base
// (containers, users and groups, each container read when it is first
// opened), and a search by name. The operator picks one user or group; the
// dialog answers its DN. A directory that cannot be reached is said in the
// dialog, and nothing can be picked.
#pragma once

#include "signin/directory/LdapDirectory.h"

#include <QDialog>

#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zyr::pages {

class DirectoryBrowseDlg : public QDialog {
public:
    // Kinds that may be picked.
    static constexpr int kUsers = 1;
    static constexpr int kGroups = 2;

    // directory may be null: error then says why.
    DirectoryBrowseDlg(std::unique_ptr<zyr::directory::LdapDirectory> directory, const std::string& error,
                       int pickable, QWidget* parent = nullptr);
    ~DirectoryBrowseDlg() override;

    // The DN of the entry picked ("" until OK).
    const std::string& PickedDn() const { return picked_; }

    QTreeWidget* Tree() const { return tree_; }
    QLineEdit* SearchEdit() const { return search_; }
    QLabel* Status() const { return status_; }
    QPushButton* OkButton() const { return ok_; }

    // "&Search": the users and groups whose names hold the text; an empty
    // text shows the tree again.
    void OnSearch();

private:
    void ShowTree();
    void Expand(QTreeWidgetItem* item);
    QTreeWidgetItem* MakeItem(const zyr::directory::DirectoryEntry& entry);
    void UpdateOk();
    void Fail(const std::string& error);

    std::unique_ptr<zyr::directory::LdapDirectory> directory_;
    int pickable_;
    std::string picked_;
    QTreeWidget* tree_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace zyr::pages
