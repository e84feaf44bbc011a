#include "server/storage/ChangeSteps.h"

#include "cache/TextCipher.h"
#include "server/storage/PlainLists.h"

namespace zyr::server {

namespace {

// Ok when the identity is free, else why not.
StoreResult IdentityFree(ChangeQueries& q, const char* sql, const std::string& dn)
{
    int64_t id = q.IdOf(sql, dn);
    if (id == 0) {
        return StoreResult::Ok;
    }
    return id < 0 ? StoreResult::Failed : StoreResult::DuplicateIdentity;
}

} // namespace

StoreResult CheckFree(ChangeQueries& q, const ChangeSql::Kind& kind, const std::string& dn,
                      const std::string& name, int64_t scope, int64_t self)
{
    if (self == 0) {
        if (StoreResult r = IdentityFree(q, kind.byIdentity, dn); r != StoreResult::Ok) {
            return r;
        }
    }
    switch (q.Exists(kind.nameTaken, name, scope, self)) {
    case 0:
        return StoreResult::Ok;
    case 1:
        return StoreResult::DuplicateName;
    default:
        return StoreResult::Failed;
    }
}

StoreResult CheckImportFree(ChangeQueries& q, const ChangeSql& sql, const ApplicationRecord& appl)
{
    if (StoreResult r = CheckFree(q, sql.appl, appl.dn, appl.name, 0, 0); r != StoreResult::Ok) {
        return r;
    }
    for (const auto& g : appl.groups) {
        if (StoreResult r = IdentityFree(q, sql.group.byIdentity, g.dn); r != StoreResult::Ok) {
            return r;
        }
        for (const auto& o : g.objects) {
            if (StoreResult r = IdentityFree(q, sql.object.byIdentity, o.dn); r != StoreResult::Ok) {
                return r;
            }
        }
    }
    return StoreResult::Ok;
}

bool RemoveRoleFromLists(ChangeQueries& q, const ChangeSql& sql, const std::string& role,
                         const AuditRecord& deletion)
{
    // The row query only narrows the rows read; the lists themselves decide.
    for (const ChangeSql::Kind* kind : {&sql.appl, &sql.group, &sql.object}) {
        std::vector<std::pair<int64_t, std::string>> rows;
        if (!q.Rows(kind->aclRows, role, rows)) {
            return false;
        }
        for (const auto& [id, acl] : rows) {
            std::string plain;
            if (RemoveRoleFromAccessList(acl, role, plain) == 0) {
                continue;
            }
            AuditRecord audit = deletion;
            audit.object = kind->auditObject;
            audit.operation = "Update";
            audit.oldValue = acl;
            audit.newValue = plain;
            if (!q.Update(kind->aclUpdate, plain, zyr::cipher::Encrypt(plain), id) ||
                !q.TwoTexts(kind->identityById, id, audit.identity, audit.name) || !q.WriteAudit(audit)) {
                return false;
            }
        }
    }
    return true;
}

StoreResult AddUnder(ChangeQueries& q, const ChangeSql::Kind& parent, const std::string& parentDn,
                     const ChangeSql::Kind& kind, const std::string& dn, const std::string& name,
                     const AuditRecord& audit, const std::function<bool(int64_t parentId)>& insert)
{
    int64_t parentId = q.IdOf(parent.byIdentity, parentDn);
    if (parentId <= 0) {
        return parentId == 0 ? StoreResult::ParentNotFound : StoreResult::Failed;
    }
    if (StoreResult r = CheckFree(q, kind, dn, name, parentId, 0); r != StoreResult::Ok) {
        return r;
    }
    return insert(parentId) && q.WriteAudit(audit) ? StoreResult::Ok : StoreResult::Failed;
}

StoreResult DeleteByIdentity(ChangeQueries& q, const ChangeSql::Kind& kind, const std::string& dn,
                             const AuditRecord& audit)
{
    int64_t removed = q.Delete(kind.deleteByIdentity, dn);
    if (removed < 0) {
        return StoreResult::Failed;
    }
    if (removed == 0) {
        return StoreResult::NotFound;
    }
    return q.WriteAudit(audit) ? StoreResult::Ok : StoreResult::Failed;
}

} // namespace zyr::server
