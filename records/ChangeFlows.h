// The changes that the console's nodes and the command-line tool both make,
// without their windows: adding a role, an application, a group or an
// object under a name not yet taken, and deleting a role with the
// access-control entries that name it. The callers ask their questions and
// show their messages; these keep the server, the lists and the records in
// step the same way for both.
#pragma once

#include "records/Application.h"
#include "records/SecureGroup.h"
#include "roles/RoleList.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace zyr::records {

// The outcome of adding a record under a name: the record added (now in its
// list), or the record that holds the name already (nothing was sent), or
// neither when the server refused the record.
template <typename Record>
struct AddOutcome {
    Record* added = nullptr;
    const Record* existing = nullptr;
};

// The role of that name, unless the list has one of that name already;
// a refused role is reported with the console's "add role failed" message.
AddOutcome<CKVTRole> AddRole(CKVTRoleList& roles, std::string_view name, std::string_view description);
// The application (with Read, Write and Execute), unless the list has one of
// that name; the application's Add reports a refusal.
AddOutcome<CKVTAppl> AddApplication(CKVTApplList& list, std::string_view name, std::string_view description);
// A group of the application, or an object of the group, unless it has one
// of that name (without regard to case); Add reports a refusal.
AddOutcome<CKVTSecGroup> AddGroup(CKVTAppl& application, std::string_view name, std::string_view description);
AddOutcome<CKVTApplSecObj> AddObject(CKVTSecGroup& group, std::string_view name,
                                     std::string_view description);

struct RoleDeletion {
    bool deleted = false; // false: the role is still on the server, and kept
    std::string name;
    // Access-control entries that still named the role once it was deleted
    // and were taken out of the applications' lists.
    size_t entriesLeft = 0;
};
// Deletes the role on the server; once deleted, takes it out of roles (when
// given; the role is gone then) and takes its entries out of the access-
// control lists of the application list that applications gives (asked only
// after the deletion; null for none). The server takes them out with the
// role; an entry left would grant the role's rights to a role made later
// under the same name.
RoleDeletion DeleteRole(CKVTRole& role, CKVTRoleList* roles,
                        const std::function<CKVTApplList*()>& applications);

} // namespace zyr::records
