// The access pages of the application side: for one role at a time, which
// permissions of the application the role is granted on the application
// (CApplPage, dialog 222), on a secure group (CGroupPage, 223) or on a
// securable object (CApplSecObjPage, 268). A role switch keeps the marks of
// the role left in the record's access-control list at once; only an apply
// sends the list, with the audit text of what changed.
#pragma once

#include "pages/SnapInPropertyPageImpl.h"
#include "records/AccessEntry.h"
#include "roles/RecordSupport.h"

#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CKVTAppl;
class CKVTSecGroup;
class CKVTApplSecObj;
class QComboBox;
class QLineEdit;
class QTreeWidget;

namespace zyr::pages {

// "KVT" and the identity; an identity with "{" loses its first and last
// characters (the braces).
std::string AccessIdText(std::string_view dn);

// What an access page edits, whatever the kind of record.
struct AccessTarget {
    std::string name;
    std::string dn;
    zyr::records::Field<256>* description = nullptr;
    std::vector<AccessEntry>* acl = nullptr;
    // The permissions the page offers (the application's).
    const std::vector<PermissionEntry>* permissions = nullptr;
    std::string* auditText = nullptr;
    std::function<bool()> update;
    // Runs just before the update is sent (the object page's qualifier flag).
    std::function<void()> beforeUpdate;
};

// The control ids and the differences between the three pages.
struct AccessPageLayout {
    int dialog = 0;
    int name = 0;
    int id = 0;
    int description = 0;
    int role = 0;
    int list = 0;
    int descriptionLimit = 0; // 0: the edit's own limit
    int tipWidth = 250;
    bool warnAtDescriptionLimit = false;
    bool reportFillFailure = false;
};

// The controls and logic that the three access pages share.
class AccessPanel {
public:
    AccessPanel(const AccessPageLayout& layout, AccessTarget target, std::function<void()> markChanged);
    ~AccessPanel();
    AccessPanel(const AccessPanel&) = delete;
    AccessPanel& operator=(const AccessPanel&) = delete;

    // Builds the controls under parent and fills them (WM_INITDIALOG).
    QWidget* Build(QWidget* parent);
    // PSN_APPLY after the refusal rule: TRUE once the update was sent
    // (whatever it reported), FALSE to keep the sheet open.
    BOOL Apply();
    // True when the controls show what the record holds: an apply sends nothing.
    bool Unchanged() const;

    // CBN_SELCHANGE of the role combo.
    void OnRoleChanged(int index);

    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* IdEdit() const { return id_; }
    QLineEdit* DescriptionEdit() const { return description_; }
    QComboBox* RoleCombo() const { return roles_; }
    QTreeWidget* PermissionList() const { return list_; }
    const std::string& CurrentRole() const { return currentRole_; }
    // The mask a combo entry remembers for the audit text.
    uint32_t RoleNumber(int index) const;

private:
    void Fill();
    void ShowRights();
    uint32_t CheckedMask() const;

    AccessPageLayout layout_;
    AccessTarget target_;
    std::function<void()> markChanged_;
    QPointer<QWidget> page_;
    QLineEdit* name_ = nullptr;
    QLineEdit* id_ = nullptr;
    QLineEdit* description_ = nullptr;
    QComboBox* roles_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::string currentRole_;
    bool filling_ = false;
    // Context of the connections: they end with the panel.
    std::unique_ptr<QObject> guard_;
};

} // namespace zyr::pages

// The shape of the three pages: a panel over the record, and after an apply a
// change report to the console that names the record.
template <typename T>
class CAccessPageImpl : public CSnapInPropertyPageImpl<T> {
public:
    CAccessPageImpl(std::u16string title, LONG_PTR notifyHandle, const zyr::pages::AccessPageLayout& layout,
                    zyr::pages::AccessTarget target, const void* changedRecord)
        : CSnapInPropertyPageImpl<T>(std::move(title), notifyHandle),
          panel_(layout, std::move(target), [this] { this->SetModified(); }), changedRecord_(changedRecord)
    {
    }

    QWidget* CreatePage(QWidget* parent) { return panel_.Build(parent); }

    BOOL Apply()
    {
        BOOL applied = panel_.Apply();
        if (applied && this->m_lNotifyHandle != 0) {
            MMCPropertyChangeNotify(this->m_lNotifyHandle, reinterpret_cast<LPARAM>(changedRecord_));
        }
        return applied;
    }

    zyr::pages::AccessPanel& Panel() { return panel_; }

private:
    zyr::pages::AccessPanel panel_;
    const void* changedRecord_;
};

class CApplPage : public CAccessPageImpl<CApplPage> {
public:
    static constexpr int IDD = 222;
    CApplPage(LONG_PTR notifyHandle, CKVTAppl* application);
};

class CGroupPage : public CAccessPageImpl<CGroupPage> {
public:
    static constexpr int IDD = 223;
    // The application offers its permissions.
    CGroupPage(LONG_PTR notifyHandle, CKVTAppl* application, CKVTSecGroup* group);
};

class CApplSecObjPage : public CAccessPageImpl<CApplSecObjPage> {
public:
    static constexpr int IDD = 268;
    // The application offers its permissions.
    CApplSecObjPage(LONG_PTR notifyHandle, CKVTAppl* application, CKVTApplSecObj* object);
};
