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

// Items split at ";": text after the last ";" is ignored (the export file's
// rule); an item without ":" gives an empty name and the whole item as value.
std::vector<std::pair<std::string, std::string>> ParsePermissionList(std::string_view plain);
std::string RenderPermissionList(const std::vector<std::pair<std::string, std::string>>& items);

// Names split at ";", empty pieces dropped.
std::vector<std::string> ParseMemberList(std::string_view plain);
std::string RenderMemberList(const std::vector<std::string>& names);

} // namespace zyr::server
