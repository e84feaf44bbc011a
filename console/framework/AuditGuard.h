// The refusal rule: every operation that changes the security database first
// asks whether the audit trail is usable. The audit layer plugs its check in
// here; until it does, every change is refused: a program that hosts the
// console without the module's start-up steps changes nothing unaudited.
#pragma once

#include <string>

namespace zyr::console {

// True when compliance mode is on and the audit path cannot be used.
using AuditCheck = bool (*)();
// The text of the check's refusal; without one, string 32834.
using AuditRefusalText = std::string (*)();
void SetAuditCheck(AuditCheck check, AuditRefusalText text = nullptr); // null restores the default
void ResetAuditCheck();

extern const char* const kNoAuditCheckMessage;

// Asks the installed check. When it refuses, shows string 32834 with the
// product caption and the error icon in a box without owner, and answers
// true: the caller changes nothing and ends. Without a check, refuses with
// kNoAuditCheckMessage.
bool RefuseChangeWhenAuditNotFunctional();

} // namespace zyr::console
