// The "Members" page of a role (dialog 107) for directory-client accounts:
// new members come from the directory-client browse and query components.
// Its apply always sends the member lists.
#pragma once

#include "pages/SnapInPropertyPageImpl.h"

class CKVTRole;
class QPushButton;
class QTreeWidget;

class CNovellMemberPage : public CSnapInPropertyPageImpl<CNovellMemberPage> {
public:
    static constexpr int IDD = 107;
    static constexpr int kGroupImage = 0;
    static constexpr int kUserImage = 1;
    // More selected items than this are not removed at once.
    static constexpr int kMaxRemove = 255;
    static constexpr const char* kCaption = "Morvel Security Manager";
    static constexpr const char* kNotFoundText = "User or Group must be specified.";
    static constexpr const char* kComponentErrorText = "Exception occured in CNTRoleMemberPage::OnInitDialog";

    CNovellMemberPage(LONG_PTR notifyHandle, CKVTRole* role, LPARAM changeParam = 0);

    QWidget* CreatePage(QWidget* parent);
    BOOL Apply();

    // "&Add...": the browser, then the look-up as a user and else as a group.
    void OnAdd();
    // "R&emove".
    void OnRemove();

    QTreeWidget* MemberList() const { return list_; }

    CKVTRole* m_pRole;

private:
    LPARAM changeParam_;
    QTreeWidget* list_ = nullptr;
};
