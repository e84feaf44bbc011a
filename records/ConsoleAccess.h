// The lockout guard: who may open the security console through a grant, and
// whether a change would leave nobody who may. The console and zyrsec take
// the picture from their fetched lists, apply the change to a copy and ask
// before they send anything; the server refuses the same changes.
#pragma once

#include "cache/AccessRule.h"
#include "records/AccessEntry.h"

#include <cstddef>
#include <functional>
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

    // The states of the rule the clients and the server share
    // (zyr::accessrule::ConsoleGuard): NotSecured, Granted, LockedOut.
    using State = zyr::accessrule::ConsoleGuard;
    State Judge() const;

    // The change, applied to this picture.
    void DeleteRole(std::string_view role); // its entries leave the list too
    void SetMemberCount(std::string_view role, size_t members);
    void SetMask(std::string_view role, uint32_t mask);
    // The object, or its group or application, is deleted or replaced by
    // an import (entries: the imported object's, none when it has none).
    void ReplaceObject(bool present, std::vector<AccessEntry> entries = {});

    // Whether acl is the console object's own list this picture was taken from.
    bool Holds(const std::vector<AccessEntry>& acl) const { return source == &acl; }

    bool present = false;
    const std::vector<AccessEntry>* source = nullptr;
    std::vector<AccessEntry> entries;
    std::vector<std::pair<std::string, size_t>> members; // role name, member count
};

// zyr::accessrule::WouldLockOut on the two pictures.
bool WouldLockOut(const ConsoleAccess& before, const ConsoleAccess& after);

// The lockout guard before a change is sent: change applied to the picture of
// the lists given, or of the console's current lists (CurrentApplList,
// CurrentRoleList; without both nothing is judged here and the server judges
// alone). True when the change may go; otherwise kLockoutMessage has been
// shown (error box, product caption) and false.
bool PassesLockoutGuard(const std::function<void(ConsoleAccess&)>& change,
                        const CKVTApplList* applications = nullptr, const CKVTRoleList* roles = nullptr);

// The same before the deletion of a record: one that is or holds the console
// object takes it away (ReplaceObject(false)); any other passes.
bool PassesDeleteLockoutGuard(const CKVTAppl& application, const CKVTSecGroup* group = nullptr,
                              const CKVTApplSecObj* object = nullptr);

// Whether importing the export file at path would replace the console's own
// application, and with it the console object's grants.
bool ImportReplacesConsole(const std::string& path);
// The same before an import: a file of the console's own application takes
// the console object's grants (ReplaceObject(true)); any other passes. The
// lists as for PassesLockoutGuard.
bool PassesImportLockoutGuard(const std::string& path, const CKVTApplList* applications = nullptr,
                              const CKVTRoleList* roles = nullptr);

// Whether a record is the console object or holds it: the application alone,
// the application and group, or all three (names without regard to case).
bool HoldsConsoleObject(const CKVTAppl& application, const CKVTSecGroup* group = nullptr,
                        const CKVTApplSecObj* object = nullptr);

} // namespace zyr::records
