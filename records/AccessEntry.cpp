#include "records/AccessEntry.h"

#include "common/ErrorTrace.h"

#include <cctype>

namespace zyr::records {

namespace {

void TraceItem(std::string_view list, std::string_view item)
{
    TraceError("records", __LINE__, "Records.ReadList", list,
               "An item of the list has no \":\" and was passed over", E_FAIL, item);
}

// Calls onPair(name, value) for every "name:value" item of the list; an item
// without ":" is traced and passed over.
template <typename OnPair>
void ForEachPair(std::string_view plain, std::string_view list, OnPair&& onPair)
{
    ForEachListItem(plain, [&](std::string_view item) {
        size_t colon = item.find(':');
        if (colon == std::string_view::npos) {
            TraceItem(list, item);
            return;
        }
        onPair(item.substr(0, colon), item.substr(colon + 1));
    });
}

uint32_t ReadMask(std::string_view text)
{
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    uint64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = (value * 10 + static_cast<uint64_t>(text[at] - '0')) & 0xFFFFFFFFull;
    }
    uint32_t mask = static_cast<uint32_t>(value);
    return negative ? static_cast<uint32_t>(0u - mask) : mask;
}

} // namespace

std::string PermissionListText(const std::vector<PermissionEntry>& permissions)
{
    std::string text;
    for (const auto& p : permissions) {
        text.append(p.Name.view()).append(1, ':').append(p.Value.view()).append(1, ';');
    }
    return text;
}

std::string AccessListText(const std::vector<AccessEntry>& acl)
{
    std::string text;
    for (const auto& entry : acl) {
        text.append(entry.RoleName.view())
            .append(1, ':')
            .append(std::to_string(static_cast<int32_t>(entry.Mask)))
            .append(1, ';');
    }
    return text;
}

void ReadPermissionList(std::string_view plain, std::vector<PermissionEntry>& permissions)
{
    ForEachPair(plain, "Permissions", [&](std::string_view name, std::string_view value) {
        permissions.emplace_back(name, value);
    });
}

void ReadAccessList(std::string_view plain, std::vector<AccessEntry>& acl)
{
    ForEachPair(plain, "ACL", [&](std::string_view role, std::string_view mask) {
        acl.emplace_back(role, ReadMask(mask));
    });
}

std::string StoredStateText(std::string_view name, std::string_view description, std::string_view acl,
                            std::string_view permissions)
{
    std::string state(name);
    state.append(1, '\n').append(description).append(1, '\n').append(acl);
    return state.append(1, '\n').append(permissions);
}

} // namespace zyr::records

PermissionEntry::PermissionEntry(std::string_view name, std::string_view value)
{
    zyr::records::SetField(Name, name, "PermissionName");
    zyr::records::SetField(Value, value, "PermissionValue");
}

AccessEntry::AccessEntry(std::string_view roleName, uint32_t mask) : Mask(mask)
{
    zyr::records::SetField(RoleName, roleName, "RoleName");
}
