// The lockout guard of zyrsec's changes: before sending a change that touches
// the console object's grants, the tool judges it on the lists it fetched and
// refuses one that would leave nobody able to open the console (no question,
// so --yes has no say).
#pragma once

#include "records/ConsoleAccess.h"
#include "tools/zyrsec/CommandContext.h"

#include <functional>

namespace zyr::zyrsec {

// True when the change may go. Otherwise the refusal has been shown (exit 1
// follows). The lists not given are fetched.
bool PassesLockoutGuard(Context& context, const std::function<void(zyr::records::ConsoleAccess&)>& change,
                        const CKVTApplList* applications = nullptr, const CKVTRoleList* roles = nullptr);

} // namespace zyr::zyrsec
