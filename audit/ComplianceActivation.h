// Switching the compliance features on, once and for all: the question asked
// first, the check that the alarm-and-events components exist and the
// activation event. The console's compliance page and the command-line tool
// both go through ActivateComplianceFeatures.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>

namespace zyr::audit {

// Asked (question icon, Yes and No) before anything is sent.
constexpr const char* kActivateQuestion =
    "This action will activate the compliance-enabling features for Morvel Framework Security.\n"
    "For compliance reasons, once activated this flag can never be deactivated.\n"
    "Do you want to continue?";
constexpr const char* kActivationComponentsMissing =
    "An error occurred when attempting to activate the compliance-enabling features.\n"
    "One of the required components is missing or non functional.\n\n"
    "More details:\n"
    "Could not create the Alarm and Events components.";

struct ActivationOutcome {
    HRESULT result = E_FAIL;
    // Empty on success; otherwise the message to show with the error icon
    // (caption string resource 100).
    std::string message;
};

// The components are created first (kActivationComponentsMissing when they
// cannot be), then the activation event is sent; a failed send gives string
// resource 32835 followed by " Error Code : " and the result in decimal.
ActivationOutcome ActivateComplianceFeatures();

} // namespace zyr::audit
