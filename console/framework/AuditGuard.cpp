#include "console/framework/AuditGuard.h"

#include "audit/ComplianceFlag.h"
#include "common/StringTable.h"
#include "platform/ui/UiService.h"

namespace zyr::console {
namespace {

AuditCheck g_check = nullptr;

} // namespace

const char* const kNoAuditCheckMessage =
    "No audit check is installed, so changes to the security database are refused.";

void SetAuditCheck(AuditCheck check)
{
    g_check = check;
}

void ResetAuditCheck()
{
    g_check = nullptr;
}

bool RefuseChangeWhenAuditNotFunctional()
{
    if (g_check != nullptr && !g_check()) {
        return false;
    }
    ui::Ui().MessageBox(nullptr, g_check != nullptr ? audit::AuditRefusalText() : kNoAuditCheckMessage,
                        LoadStringAnsi(IDS_PROJNAME), ui::MB_ICONERROR);
    return true;
}

} // namespace zyr::console
