#include "audit/ComplianceActivation.h"

#include "audit/AuditEvents.h"
#include "common/StringTable.h"

#include <cstdio>

namespace zyr::audit {

ActivationOutcome ActivateComplianceFeatures()
{
    ActivationOutcome outcome;
    if (!CanCreateAuditComponents()) {
        outcome.message = kActivationComponentsMissing;
        return outcome;
    }
    outcome.result = ActivateComplianceEvent();
    if (FAILED(outcome.result)) {
        char text[1024];
        std::snprintf(text, sizeof text, "%s Error Code : %ld",
                      zyr::LoadStringAnsi(zyr::IDS_AUDIT_SEND_FAILED).c_str(),
                      static_cast<long>(outcome.result));
        outcome.message = text;
    }
    return outcome;
}

} // namespace zyr::audit
