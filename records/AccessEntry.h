// The entries of permission lists and access-control lists, and their plain
// list texts as the server's encrypted fields carry them.
#pragma once

#include "roles/RecordSupport.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One permission bit of an application: its name and its value as text
// ("0x" and eight hexadecimal digits).
struct PermissionEntry {
    PermissionEntry() = default;
    PermissionEntry(std::string_view name, std::string_view value);

    zyr::records::Field<256> Name;
    zyr::records::Field<16> Value;
};

// The permission mask one role is granted.
struct AccessEntry {
    AccessEntry() = default;
    AccessEntry(std::string_view roleName, uint32_t mask);

    zyr::records::Field<792> RoleName;
    uint32_t Mask = 0;
};

namespace zyr::records {

// "name:value;" for every permission in order.
std::string PermissionListText(const std::vector<PermissionEntry>& permissions);
// "role:mask;" for every entry in order, the mask as a signed 32-bit decimal.
std::string AccessListText(const std::vector<AccessEntry>& acl);
// The StoredState text of an application, group or object: its name,
// description, access list and permission list, one to a line.
std::string StoredStateText(std::string_view name, std::string_view description, std::string_view acl,
                            std::string_view permissions = {});

// Appends the entries of a plain permission list. An item without ":" is
// passed over and traced.
void ReadPermissionList(std::string_view plain, std::vector<PermissionEntry>& permissions);
// Appends the entries of a plain access-control list. The mask is read as a
// decimal number (leading white space skipped, a sign allowed, reading stops
// at the first character that is not a digit). An item without ":" is passed
// over and traced.
void ReadAccessList(std::string_view plain, std::vector<AccessEntry>& acl);

} // namespace zyr::records
