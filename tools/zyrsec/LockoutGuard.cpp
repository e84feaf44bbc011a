#include "tools/zyrsec/LockoutGuard.h"

namespace zyr::zyrsec {

bool PassesLockoutGuard(Context& context, const std::function<void(zyr::records::ConsoleAccess&)>& change,
                        const CKVTApplList* applications, const CKVTRoleList* roles)
{
    CKVTApplList fetchedApplications;
    if (applications == nullptr) {
        // Lists that cannot be read cannot show the change is safe: refused,
        // with the reason the fetch gave.
        if (!FetchApplicationList(context, fetchedApplications)) {
            return false;
        }
        applications = &fetchedApplications;
    }
    CKVTRoleList fetchedRoles;
    if (roles == nullptr) {
        if (!FetchRoleList(context, fetchedRoles)) {
            return false;
        }
        roles = &fetchedRoles;
    }
    return zyr::records::PassesLockoutGuard(change, applications, roles);
}

} // namespace zyr::zyrsec
