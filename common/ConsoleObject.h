// The console's own securable object: whoever holds its permission 1 ("Open")
// may open the security console. The sign-in checks it, and the changes that
// could leave nobody holding it are refused before they are sent.
#pragma once

#include "platform/com/WinTypes.h"

namespace zyr {

constexpr const char* kConsoleApplication = "Morvel Framework";
constexpr const char* kConsoleGroup = "Security Manager";
constexpr const char* kConsoleObject = "ZyrSnap-In";
constexpr LONG kOpenPermission = 1;

} // namespace zyr
