// The windows of the audit trail that the node logic opens: the filter dialog
// of the Audit Trail container and the page of one record. The toolkit layer
// installs its implementation at start; until then (and in tests that install
// no double) the filter counts as cancelled and a record offers no page.
#pragma once

#include "platform/mmc/ConsoleInterfaces.h"
#include "records/AuditTrail.h"

namespace zyr::console {

class AuditTrailUi {
public:
    virtual ~AuditTrailUi() = default;
    // Runs the filter dialog over parent, starting from filter; true after OK,
    // with filter holding the choice.
    virtual bool RunAuditFilterDialog(HWND parent, zyr::records::AuditFilter& filter);
    // Hands the page of one record, its old and new values side by side, to
    // the sheet. S_OK when no page is offered.
    virtual HRESULT AddAuditRecordPage(const zyr::records::AuditEntry& entry,
                                       IPropertySheetCallback* callback, LONG_PTR notifyHandle);
};

// The installed windows; before any is installed, the base above.
AuditTrailUi& CurrentAuditTrailUi();
void SetAuditTrailUi(AuditTrailUi* ui); // not owned; null restores the default
void ResetAuditTrailUi();

} // namespace zyr::console
