#include "console/framework/AuditGuard.h"

#include "common/StringTable.h"
#include "platform/ui/UiService.h"

namespace zyr::console {
namespace {

AuditCheck g_check = nullptr;
AuditRefusalText g_text = nullptr;

} // namespace

const char* const kNoAuditCheckMessage =
    "No audit check is installed, so changes to the security database are refused.";

void SetAuditCheck(AuditCheck check, AuditRefusalText text)
{
    g_check = check;
    g_text = text;
}

void ResetAuditCheck()
{
    g_check = nullptr;
    g_text = nullptr;
}

bool RefuseChangeWhenAuditNotFunctional()
{
    if (g_check != nullptr && !g_check()) {
        return false;
    }
    ui::Ui().MessageBox(nullptr,
                        g_check == nullptr  ? kNoAuditCheckMessage
                        : g_text != nullptr ? g_text()
                                            : LoadStringAnsi(IDS_AUDIT_COMPONENTS_MISSING),
                        LoadStringAnsi(IDS_PROJNAME), ui::MB_ICONERROR);
    return true;
}

} // namespace zyr::console
