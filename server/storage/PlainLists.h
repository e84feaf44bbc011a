// The plain forms of the lists that travel encrypted: permission lists
// ("name:0x00000001;"), access-control lists ("role:mask;", the mask a signed
// 32-bit decimal) and member lists ("DOMAIN\user;").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zyr::server {

struct AccessItem {
    std::string role;
    int32_t mask = 0;
};

// False when an item has no ":" or its mask is not a 32-bit decimal number
// (signed, or unsigned up to 4294967295). Empty items are skipped.
bool ParseAccessList(std::string_view plain, std::vector<AccessItem>& out);
std::string RenderAccessList(const std::vector<AccessItem>& items);
// Role names as the server compares them: without regard to ASCII case.
bool SameRoleName(std::string_view a, std::string_view b);
// Cuts every entry of `role` out of a plain access-control list, leaving the
// text of the other entries (and their order) exactly as it was. Returns how
// many entries went, with the new list in `out`; 0, with `out` untouched,
// when none did or when the list does not parse (it is then left as it is).
size_t RemoveRoleFromAccessList(std::string_view plain, std::string_view role, std::string& out);

// Items split at ";": text after the last ";" is ignored (the export file's
// rule); an item without ":" gives an empty name and the whole item as value.
std::vector<std::pair<std::string, std::string>> ParsePermissionList(std::string_view plain);
std::string RenderPermissionList(const std::vector<std::pair<std::string, std::string>>& items);

// Names split at ";", empty pieces dropped.
std::vector<std::string> ParseMemberList(std::string_view plain);
std::string RenderMemberList(const std::vector<std::string>& names);

} // namespace zyr::server
