// The string table: every text the system shows, by its resource id, in one
// place shared by every layer.
#pragma once

#include "platform/com/WinTypes.h"

#include <optional>
#include <string>

// The wide text of a resource, or nothing when the id is not in the table.
std::optional<std::u16string> LoadStringResource(UINT id);

namespace zyr {
// The resource in the configured code page; a missing resource gives "".
std::string LoadStringAnsi(UINT id);

constexpr UINT IDS_PROJNAME = 100; // "ZYR Security Manager"
constexpr UINT IDS_AUDIT_COMPONENTS_MISSING = 32834;
constexpr UINT IDS_AUDIT_SEND_FAILED = 32835;
} // namespace zyr
