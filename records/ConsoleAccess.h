// The lockout guard: who may open the security console through a grant, and
// whether a change would leave nobody who may. The console and zyrsec take
// the picture from their fetched lists, apply the change to a copy and ask
// before they send anything; the server refuses the same changes.
#pragma once

#include "records/AccessEntry.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CKVTAppl;
class CKVTApplList;
class CKVTApplSecObj;
class CKVTRoleList;
class CKVTSecGroup;

namespace zyr::records {

constexpr const char* kLockoutMessage =
    "Error: this change would leave no account able to open the security console";

class ConsoleAccess {
public:
    // The console object's entries and every role's member count.
    static ConsoleAccess Of(const CKVTApplList& applications, const CKVTRoleList& roles);

    enum class State {
        NotSecured, // no console object, or an empty list on it: every account may open
        Granted,    // a role with a member holds "Open" on it
        LockedOut,  // its list holds entries, and none gives "Open" to a role with members
    };
    State Judge() const;

    // The change, applied to this picture.
    void DeleteRole(std::string_view role); // its entries leave the list too
    void SetMemberCount(std::string_view role, size_t members);
    void SetMask(std::string_view role, uint32_t mask);
    // The object, or its group or application, is deleted or replaced by
    // an import (entries: the imported object's, none when it has none).
    void ReplaceObject(bool present, std::vector<AccessEntry> entries = {});

    bool present = false;
    std::vector<AccessEntry> entries;
    std::vector<std::pair<std::string, size_t>> members; // role name, member count
};

// A change that takes the console from a state where some account may open it
// to one where none may by a grant: into LockedOut from anywhere else, or
// from Granted to NotSecured (the console object taken away, its list emptied).
bool WouldLockOut(const ConsoleAccess& before, const ConsoleAccess& after);

// Whether a record is the console object or holds it: the application alone,
// the application and group, or all three (names without regard to case).
bool HoldsConsoleObject(const CKVTAppl& application, const CKVTSecGroup* group = nullptr,
                        const CKVTApplSecObj* object = nullptr);

} // namespace zyr::records
