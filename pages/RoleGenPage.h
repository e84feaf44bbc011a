// The "General" page of a role (dialog 216): the name, read-only, and the
// description, which an apply sends to the server with the old and new text
// for the audit trail.
#pragma once

#include "pages/SnapInPropertyPageImpl.h"

class CKVTRole;
class QLineEdit;

class CRoleGenPage : public CSnapInPropertyPageImpl<CRoleGenPage> {
public:
    static constexpr int IDD = 216;

    // changeParam goes with MMCPropertyChangeNotify (the role node's cookie).
    CRoleGenPage(LONG_PTR notifyHandle, CKVTRole* role, LPARAM changeParam = 0);

    QWidget* CreatePage(QWidget* parent);
    // PSN_APPLY: FALSE keeps the sheet open.
    BOOL Apply();

    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* DescriptionEdit() const { return description_; }

    CKVTRole* m_pRole;

private:
    LPARAM changeParam_;
    QLineEdit* name_ = nullptr;
    QLineEdit* description_ = nullptr;
};
