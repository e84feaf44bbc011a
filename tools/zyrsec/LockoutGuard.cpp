#include "tools/zyrsec/LockoutGuard.h"

#include "platform/ui/UiService.h"

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
    const zyr::records::ConsoleAccess before = zyr::records::ConsoleAccess::Of(*applications, *roles);
    zyr::records::ConsoleAccess after = before;
    change(after);
    if (!zyr::records::WouldLockOut(before, after)) {
        return true;
    }
    context.ui.MessageBox(nullptr, zyr::records::kLockoutMessage, Caption(),
                          zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
    return false;
}

} // namespace zyr::zyrsec
