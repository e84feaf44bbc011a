// The windows of the audit trail: the filter dialog of the Audit Trail
// container (time range, account, kind of record, part of the name) and the
// read-only page of one record, its old and new values side by side with the
// differences marked.
#pragma once

#include "console/framework/AuditTrailUi.h"
#include "pages/KVTDialog.h"
#include "pages/SnapInPropertyPageImpl.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;

class CAuditFilterDlg : public CKVTDialog<CAuditFilterDlg> {
public:
    // Starts from the filter in use.
    explicit CAuditFilterDlg(zyr::records::AuditFilter filter);

    bool BuildDialog(QDialog& dialog);
    // Refuses a range that ends before it begins.
    void OnOK();

    // The choice after OK: "To" includes the second it names.
    zyr::records::AuditFilter m_filter;

private:
    QCheckBox* useFrom_ = nullptr;
    QCheckBox* useTo_ = nullptr;
    QDateTimeEdit* from_ = nullptr;
    QDateTimeEdit* to_ = nullptr;
    QLineEdit* user_ = nullptr;
    QComboBox* kind_ = nullptr;
    QLineEdit* name_ = nullptr;
};

class CAuditRecordPage : public CSnapInPropertyPageImpl<CAuditRecordPage> {
public:
    CAuditRecordPage(LONG_PTR notifyHandle, zyr::records::AuditEntry entry);

    QWidget* CreatePage(QWidget* parent);
    BOOL Apply() { return 1; }

private:
    zyr::records::AuditEntry entry_;
};

namespace zyr::pages {

class AuditTrailWindows : public zyr::console::AuditTrailUi {
public:
    bool RunAuditFilterDialog(HWND parent, zyr::records::AuditFilter& filter) override;
    HRESULT AddAuditRecordPage(const zyr::records::AuditEntry& entry, IPropertySheetCallback* callback,
                               LONG_PTR notifyHandle) override;
};

// Installs the audit trail's windows for the node logic.
void InstallAuditTrailWindows();

} // namespace zyr::pages
