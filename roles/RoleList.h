// The list of all roles, fetched once at start-up, and the current role list
// through which names are found from identities.
#pragma once

#include "common/KvtXml.h"
#include "roles/Role.h"

#include <memory>
#include <string_view>
#include <vector>

class CKVTRoleList {
public:
    // An empty list that becomes the current role list.
    CKVTRoleList();
    // Destroys the roles; the list stops being the current one.
    ~CKVTRoleList();
    CKVTRoleList(const CKVTRoleList&) = delete;
    CKVTRoleList& operator=(const CKVTRoleList&) = delete;

    // Fetches the roles from the server, rewrites the role cache file and
    // appends the roles to the list. Failures go to the trace; the result
    // says whether the roles were read (a cache file that cannot be written
    // does not fail the fetch).
    zyr::records::FetchResult GetRoles();
    // Appends the roles of a parsed role list reply (the records of its
    // KVTROLES element; malformed ones are skipped). False when the document
    // has no such element.
    bool LoadRoles(const zyr::xml::KvtXmlDocument& document);

    std::vector<std::unique_ptr<CKVTRole>>& Roles() { return roles_; }
    const std::vector<std::unique_ptr<CKVTRole>>& Roles() const { return roles_; }
    CKVTRole& Append(std::unique_ptr<CKVTRole> role);
    // Takes a role out of the list and destroys it; false when it is not there.
    bool Remove(const CKVTRole* role);
    // The first role of that name (without regard to case), or null.
    CKVTRole* FindByName(std::string_view name) const;
    // The first role of that identity (exact), or null.
    CKVTRole* FindByDN(std::string_view dn) const;

    std::string_view ServerUrlText() const { return serverUrl_.view(); }
    std::string_view CacheDirectory() const { return cacheDirectory_.view(); }

private:
    zyr::records::ServerUrl serverUrl_;
    zyr::text::BoundedText<256> cacheDirectory_;
    bool cacheDirectoryKnown_ = false;
    std::vector<std::unique_ptr<CKVTRole>> roles_;
};

namespace zyr::records {
// The most recently constructed role list still alive, or null.
CKVTRoleList* CurrentRoleList();
// Forgets the current role list (tests).
void ResetCurrentRoleList();
// Start-up, from before signing in until the tree is built: the lists that
// signing in fetched and cached are read from the cache files, once each,
// instead of being fetched again (cache/FreshCache.h).
void BeginStartupFetches();
void EndStartupFetches();
} // namespace zyr::records
