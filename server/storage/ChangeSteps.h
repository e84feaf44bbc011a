// The steps of a change that both stores take the same way, written once over
// the few statements they need (ChangeQueries) and the SQL text of each
// dialect (ChangeSql). Each runs inside the store's transaction for the
// change; how the store serialises its writers stays its own.
#pragma once

#include "server/storage/SecurityStore.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zyr::server {

// The statements the shared steps run, over the transaction of the change.
class ChangeQueries {
public:
    virtual ~ChangeQueries() = default;
    // Id of the row a query of one key finds, 0 when none, -1 on failure.
    virtual int64_t IdOf(const char* sql, const std::string& key) = 0;
    // Whether a query of (name, scope, self) finds a row: 1, 0, or -1 on failure.
    virtual int Exists(const char* sql, const std::string& name, int64_t scope, int64_t self) = 0;
    // The (id, text) rows a query of one key finds; false on failure.
    virtual bool Rows(const char* sql, const std::string& key,
                      std::vector<std::pair<int64_t, std::string>>& out) = 0;
    // Runs an update of (text, text, id); false on failure.
    virtual bool Update(const char* sql, const std::string& first, const std::string& second, int64_t id) = 0;
    // The two texts of the row a query of one id finds; false on failure or
    // when there is none.
    virtual bool TwoTexts(const char* sql, int64_t id, std::string& first, std::string& second) = 0;
    // Rows a delete of one key removed, -1 on failure.
    virtual int64_t Delete(const char* sql, const std::string& key) = 0;
    virtual bool WriteAudit(const AuditRecord& audit) = 0;
};

// The SQL of one dialect for the shared steps. The identity queries take the
// identity; the name queries take (name, scope, self) and find another record
// of the scope with the name (the scope is ignored for applications and roles).
struct ChangeSql {
    struct Kind {
        const char* byIdentity;
        const char* nameTaken;
        const char* deleteByIdentity;
        // The rows whose access-control list may name a role, and the update
        // of (plain, encrypted, id); null for roles.
        const char* aclRows;
        const char* aclUpdate;
        // The (identity, name) of an id, and the Object of an audit record of
        // the record; null for roles.
        const char* identityById;
        const char* auditObject;
    };
    Kind appl;
    Kind group;
    Kind object;
    Kind role;
};

// DuplicateIdentity or DuplicateName when the identity (checked only for a
// new record, self 0) or the name is taken by another record than `self`.
StoreResult CheckFree(ChangeQueries& q, const ChangeSql::Kind& kind, const std::string& dn,
                      const std::string& name, int64_t scope, int64_t self);

// An imported application with its groups and objects: none of its
// identities and not its name may be taken.
StoreResult CheckImportFree(ChangeQueries& q, const ChangeSql& sql, const ApplicationRecord& appl);

// Takes a deleted role's entries out of every access-control list, so that a
// role made later under the same name finds no grants waiting. Each list
// changed gets an audit record of its own (the old and the new list), with
// the time and origin of the deletion's.
bool RemoveRoleFromLists(ChangeQueries& q, const ChangeSql& sql, const std::string& role,
                         const AuditRecord& deletion);

// Adds a record under a parent found by its identity: refused when the
// parent is missing or the record's identity or name (in the parent) is
// taken, else inserted by `insert` with the audit record.
StoreResult AddUnder(ChangeQueries& q, const ChangeSql::Kind& parent, const std::string& parentDn,
                     const ChangeSql::Kind& kind, const std::string& dn, const std::string& name,
                     const AuditRecord& audit, const std::function<bool(int64_t parentId)>& insert);

// Deletes the record with the identity and writes the audit record.
StoreResult DeleteByIdentity(ChangeQueries& q, const ChangeSql::Kind& kind, const std::string& dn,
                             const AuditRecord& audit);

} // namespace zyr::server
