// Who may change the security database: an account that the sign-in rule
// lets "Open" the console object. The rule itself is the one the client's
// authorization component evaluates (cache/AccessRule.h); this part finds
// the console object and the roles in the server's own records.
#pragma once

#include "cache/AccessRule.h"
#include "server/storage/Records.h"

#include <string>
#include <string_view>
#include <vector>

namespace zyr::server {

inline constexpr std::string_view kConsoleApplication = "Morvel Framework";
inline constexpr std::string_view kConsoleGroup = "Security Manager";
inline constexpr std::string_view kConsoleObject = "ZyrSnap-In";
inline constexpr uint32_t kOpenPermission = 1;

// The console object's plain access-control list in the records; false when
// the object is not there or its list does not read. Empty for an object
// nobody secured.
bool FindConsoleAcl(const std::vector<ApplicationRecord>& applications, std::string& aclPlain);

// What admission needs of the records: whether the console object is there,
// its entries, and the roles they name. Small whatever the size of the
// database, so the service keeps it from one change to the next.
struct ConsoleRights {
    static ConsoleRights Of(const std::vector<ApplicationRecord>& applications,
                            const std::vector<RoleRecord>& roles);
    // MayOpenConsole on the records this was taken from.
    bool MayOpen(std::string_view account) const;
    // Whether a change to the role of this identity may touch the guard: one
    // the console object's entries name. A role of another name gains no
    // grant that could be lost by renaming or emptying it.
    bool NamesRole(std::string_view dn) const;

    bool present = false;  // there is a console object
    bool readable = false; // and its list reads
    std::string applicationDn;
    std::vector<zyr::accessrule::AccessGrant> acl;
    std::vector<zyr::accessrule::CachedRole> roles;
};

// Whether the account ("DOMAIN\user") may open the console: a role it holds,
// directly or through one of its name-service groups, is granted bit 1 on the
// console object. A console object with an empty list is not secured: every
// account may. No console object at all: nobody may.
bool MayOpenConsole(std::string_view account, const std::vector<ApplicationRecord>& applications,
                    const std::vector<RoleRecord>& roles);

// How the console object guards the console (the rule the clients share); an
// object whose list does not read grants nothing.
zyr::accessrule::ConsoleGuard ConsoleGuardOf(const std::vector<ApplicationRecord>& applications,
                                             const std::vector<RoleRecord>& roles);

// Whether "DOMAIN\user" names the account (a bare name: a local account).
bool SameAccount(std::string_view named, std::string_view account);

} // namespace zyr::server

namespace zyr::server {

class FormFields;

// Whether the change that object/operation with its query and body describe
// keeps the console open by the lockout guard's rule (WouldLockOut), judged on
// the records as they would be after it: deleting or renaming the console object, its group or
// application, deleting a role or changing its members or name, or changing
// the console object's list. A database nobody can open now is not judged.
bool KeepsConsoleOpen(std::string_view object, std::string_view operation, const FormFields& query,
                      const FormFields& body, std::vector<ApplicationRecord> applications,
                      std::vector<RoleRecord> roles);

// The same for an import of the application file's record: an import of the
// console's own application is judged as one that replaces it.
bool KeepsConsoleOpen(const ApplicationRecord& imported, std::vector<ApplicationRecord> applications,
                      const std::vector<RoleRecord>& roles);

// Whether the change is one KeepsConsoleOpen judges.
bool MayCloseConsole(std::string_view object, std::string_view operation);

inline constexpr std::string_view kLockoutRefusal =
    "Error: this change would leave no account able to open the security console";

} // namespace zyr::server
