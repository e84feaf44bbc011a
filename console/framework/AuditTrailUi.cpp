#include "console/framework/AuditTrailUi.h"

#include "console/framework/InstalledSeam.h"

namespace zyr::console {
namespace {

InstalledSeam<AuditTrailUi> g_ui;

} // namespace

bool AuditTrailUi::RunAuditFilterDialog(HWND, zyr::records::AuditFilter&)
{
    return false;
}

HRESULT AuditTrailUi::AddAuditRecordPage(const zyr::records::AuditEntry&, IPropertySheetCallback*, LONG_PTR)
{
    return S_OK;
}

AuditTrailUi& CurrentAuditTrailUi()
{
    return g_ui.Current();
}

void SetAuditTrailUi(AuditTrailUi* ui)
{
    g_ui.Set(ui);
}

void ResetAuditTrailUi()
{
    g_ui.Reset();
}

} // namespace zyr::console
