#include "console/framework/AuditGuard.h"

#include "common/StringTable.h"
#include "platform/ui/UiService.h"

namespace zyr::console {
namespace {

bool AuditAlwaysFunctional()
{
    return false;
}

AuditCheck g_check = &AuditAlwaysFunctional;

} // namespace

void SetAuditCheck(AuditCheck check)
{
    g_check = check != nullptr ? check : &AuditAlwaysFunctional;
}

void ResetAuditCheck()
{
    g_check = &AuditAlwaysFunctional;
}

bool RefuseChangeWhenAuditNotFunctional()
{
    if (!g_check()) {
        return false;
    }
    ui::Ui().MessageBox(nullptr, LoadStringAnsi(IDS_AUDIT_COMPONENTS_MISSING), LoadStringAnsi(IDS_PROJNAME),
                        ui::MB_ICONERROR);
    return true;
}

} // namespace zyr::console
