// The compliance flag of the security database and the guard that every
// changing command consults: while compliance mode is on, nothing may change
// unless the server's audit path works for this computer.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>

// Asks serverUrl for the flag ("?Object=KVTAPI&Operation=Get21CFR11Flag"). Once
// the server has reported "true" the answer is remembered and no request is
// sent. An empty reply asks for the server version and fails with E_FAIL.
HRESULT Get21CFR11Flag(const char* serverUrl, VARIANT_BOOL* flag);

// True when compliance mode is on (or cannot be confirmed off on a server of
// the compliance generation) and the audit path is not usable: the change must
// not be made. A true answer is remembered for the life of the process.
bool IsAuditNotFunctional();

namespace zyr::audit {

// The three POSTs send this fixed body and no credentials.
constexpr const char* kComplianceRequestBody = "Junk=Junk";
constexpr const char* kAuditNotFunctionalReply = "TAVOS_Not_Functional";
constexpr float kComplianceServerVersion = 2.3f;

// "true" once the server reported the flag on; never cleared but by Reset.
const std::string& ComplianceFlagText();
// 2.3 unless neither the flag nor the version request was answered (then 0).
float ServerVersion();
// The text of IsAuditNotFunctional's refusal: that no server URL is
// configured when that was the reason, else string 32834 (the audit
// components).
std::string AuditRefusalText();
// Shows AuditRefusalText with the product caption and the error icon.
void ShowAuditRefusal();
// The remembered answer of IsAuditNotFunctional.
bool AuditNotFunctionalRemembered();

// Forgets the three values, as a new process would (tests).
void ResetComplianceState();

} // namespace zyr::audit
