// The "Members" page of a role (dialog 272) for the accounts of the name
// service: the member users and groups in one list, "Add..." through the
// account picker, "Advanced..." for a name typed by hand, "Remove" for the
// selected items. An apply rewrites the role's member lists and, when they
// changed, sends them with the members removed and added for the audit trail.
#pragma once

#include "pages/AccountPickerDlg.h"
#include "pages/SnapInPropertyPageImpl.h"

#include <vector>

class CKVTRole;
class QPushButton;
class QTreeWidget;

class CNTRoleMemberPage : public CSnapInPropertyPageImpl<CNTRoleMemberPage> {
public:
    static constexpr int IDD = 272;
    // The images of the member list: what the apply reads back.
    static constexpr int kEveryoneImage = 0;
    static constexpr int kGroupImage = 1;
    static constexpr int kUserImage = 3;

    // changeParam goes with MMCPropertyChangeNotify (the role node's cookie).
    CNTRoleMemberPage(LONG_PTR notifyHandle, CKVTRole* role, LPARAM changeParam = 0);

    QWidget* CreatePage(QWidget* parent);
    // PSN_APPLY: FALSE keeps the sheet open.
    BOOL Apply();

    // "Add...": the account picker over the name service.
    void OnAdd();
    // What the picker chose, as an object picker's selections: "Group" gives
    // image 0 for Everyone and 1 otherwise, "User" image 3; a selection of
    // any other class ends the walk. Each goes to the top of the list unless
    // it is there.
    void AddSelections(const std::vector<PickedAccount>& selections);
    // "Advanced...".
    void OnAdvanced();
    // "Remove": every selected item.
    void OnRemove();

    QTreeWidget* MemberList() const { return list_; }
    QPushButton* AddButton() const { return add_; }

    CKVTRole* m_pRole;

private:
    LPARAM changeParam_;
    QTreeWidget* list_ = nullptr;
    QPushButton* add_ = nullptr;
};
