#include "records/NameLookup.h"

#include "cache/CacheFiles.h"
#include "records/Application.h"
#include "roles/RoleList.h"

namespace {

// The name that follows an identity in a cache text: the text after the first
// "NAME>" behind the identity, up to the next "</".
bool FindInCacheText(const std::string& text, std::string_view dn, std::string& name)
{
    size_t at = text.find(dn);
    if (at == std::string::npos) {
        return false;
    }
    name.clear();
    size_t tag = text.find("NAME>", at + dn.size());
    if (tag == std::string::npos) {
        return true;
    }
    size_t start = tag + 5;
    size_t end = text.find("</", start);
    name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
}

} // namespace

std::string LookupNameByDN(std::string_view dn)
{
    if (dn.empty()) {
        return {};
    }
    for (int pass = 0; pass < 2; ++pass) {
        if (CKVTRoleList* roles = zyr::records::CurrentRoleList()) {
            if (CKVTRole* role = roles->FindByDN(dn)) {
                return role->CN.str();
            }
        }
        if (CKVTApplList* applications = zyr::records::CurrentApplList()) {
            std::string name;
            for (const auto& application : applications->Applications) {
                if (application->DN.view() == dn) {
                    name = application->CN.str();
                }
                for (const auto& group : application->Groups) {
                    if (group->DN.view() == dn) {
                        name = group->CN.str();
                    }
                    for (const auto& object : group->Objects) {
                        if (object->DN.view() == dn) {
                            name = object->CN.str();
                        }
                    }
                }
            }
            return name;
        }
        const bool bothEmpty = zyr::cache::RoleCacheText().empty() && zyr::cache::ApplCacheText().empty();
        // A cache file that cannot be read leaves its text empty; the other
        // one is searched all the same.
        LoadCacheFiles();
        std::string name;
        if (FindInCacheText(zyr::cache::RoleCacheText(), dn, name) ||
            FindInCacheText(zyr::cache::ApplCacheText(), dn, name)) {
            return name;
        }
        if (bothEmpty) {
            return {};
        }
        // The texts may be stale: read both files again, once.
        zyr::cache::EmptyCacheTexts();
    }
    return {};
}
