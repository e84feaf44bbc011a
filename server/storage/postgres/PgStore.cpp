// PostgreSQL backend: one database that several servers share. Each request
// borrows a connection from a pool as large as the server's thread pool.
// Changes run in READ COMMITTED transactions; the unique indexes on
// identities and names, and the foreign keys to parents, decide races between
// servers: the loser's transaction fails as a whole and its request is
// refused as a duplicate (or a missing parent). Reads of more than one table
// run in one REPEATABLE READ snapshot. Every statement binds its values.
#include "server/storage/SecurityStore.h"
#include "server/storage/postgres/PgChangeQueries.h"
#include "server/storage/postgres/PgReads.h"
#include "server/storage/postgres/PgRows.h"

#include <atomic>
#include <map>
#include <unordered_map>

namespace zyr::server {

namespace {

using pg::AddBuckets;
using pg::Connection;
using pg::InsertApplication;
using pg::InsertGroup;
using pg::InsertLog;
using pg::InsertMembers;
using pg::InsertObjects;
using pg::InsertRole;
using pg::InsertTree;
using pg::kChangeSql;
using pg::Params;
using pg::PgChangeQueries;
using pg::ReadApplications;
using pg::ReadLogPage;
using pg::ReadRoles;
using pg::Result;
using pg::WriteAudit;

// Log entries removed per transaction by a range delete.
constexpr int64_t kDeleteBatch = 10000;
// Attempts of a change that meets a deadlock or a serialisation failure.
constexpr int kAttempts = 5;

// Serialises the servers that give audit records their places.
constexpr int64_t kPlacingLock = 0x7a79725f617564; // "zyr_aud"
// Records placed per transaction, and how often a server places records after its changes.
constexpr int64_t kPlaceBatch = 50000;
constexpr uint64_t kPlaceEvery = 256;

// Removes log entries and takes them off the day, hour and minute counts, in
// one statement. A count may reach zero; zero counts are skipped by the pages.
#define ZYR_DELETE_LOGS(WHERE)                                                                               \
    "WITH gone AS (DELETE FROM log WHERE id IN (SELECT id FROM log WHERE " WHERE ") RETURNING time, id),"    \
    " m AS (SELECT substr(time,1,16) AS k, count(*) AS c FROM gone GROUP BY 1),"                             \
    " d AS (UPDATE log_day b SET n = b.n - x.c FROM (SELECT substr(k,1,10) AS k, sum(c) AS c FROM m"         \
    " GROUP BY 1) x WHERE b.key = x.k RETURNING 1),"                                                         \
    " h AS (UPDATE log_hour b SET n = b.n - x.c FROM (SELECT substr(k,1,13) AS k, sum(c) AS c FROM m"        \
    " GROUP BY 1) x WHERE b.key = x.k RETURNING 1),"                                                         \
    " mi AS (UPDATE log_minute b SET n = b.n - m.c FROM m WHERE b.key = m.k RETURNING 1)"                    \
    " SELECT (SELECT count(*) FROM gone), l.time, l.id FROM (SELECT 1) one"                                  \
    " LEFT JOIN (SELECT time, id FROM gone ORDER BY time DESC, id DESC LIMIT 1) l ON true"

// A range goes in batches that each start after the last entry of the one
// before, so that no batch walks over what the others removed.
constexpr const char* kDeleteLogRange =
    ZYR_DELETE_LOGS("(time, id) > ($1, $4::bigint) AND time < $2 ORDER BY time, id LIMIT $3");
constexpr const char* kDeleteLogSecond = ZYR_DELETE_LOGS("time = $1");
#undef ZYR_DELETE_LOGS

// A change and its audit record in one statement: one round trip less on
// the busiest path.
bool RunWithAudit(Connection& c, const std::string& change, Params params, const AuditRecord& a)
{
    size_t n = params.values().size();
    std::string sql =
        "WITH change AS (" + change +
        " RETURNING 1) INSERT INTO audit(time,who,computer,object,operation,identity,name,old_value,"
        "new_value) VALUES(";
    for (size_t i = 1; i <= 9; ++i) {
        sql += (i > 1 ? ",$" : "$") + std::to_string(n + i);
    }
    sql += ")";
    params.Add(a.time).Add(a.user).Add(a.computer).Add(a.object).Add(a.operation);
    params.Add(a.identity).Add(a.name).Add(a.oldValue).Add(a.newValue);
    return c.Run(sql.c_str(), params);
}

// Locks the record with the identity and tells whether another record of the
// same scope holds the name: NotFound, DuplicateName or Ok with the id.
StoreResult LockForUpdate(Connection& c, const char* sql, const std::string& dn, const std::string& name,
                          int64_t& id)
{
    Result r;
    if (!c.Run(sql, Params().Add(dn).Add(name), &r)) {
        return StoreResult::Failed;
    }
    if (r.Rows() == 0) {
        return StoreResult::NotFound;
    }
    id = r.Int(0, 0);
    return r.Text(0, 1) == "t" ? StoreResult::DuplicateName : StoreResult::Ok;
}

// What a failed statement means for the change: a unique index or a foreign
// key that another server's change got to first.
StoreResult Classify(const std::string& sqlState, const std::string& constraint)
{
    auto endsWith = [&](const char* suffix) {
        std::string s(suffix);
        return constraint.size() >= s.size() &&
               constraint.compare(constraint.size() - s.size(), s.size(), s) == 0;
    };
    if (sqlState == "23505") {
        if (endsWith("_dn_key")) {
            return StoreResult::DuplicateIdentity;
        }
        if (endsWith("_name_key")) {
            return StoreResult::DuplicateName;
        }
    }
    if (sqlState == "23503") {
        return StoreResult::ParentNotFound;
    }
    return StoreResult::Failed;
}

// Gives the committed records without a place the next places, in the order
// they were written. With wait false it leaves the work to a server already
// doing it. False when the database could not be asked.
bool PlaceAudit(Connection& c, bool wait)
{
    for (;;) {
        Result pending;
        if (!c.Run("SELECT EXISTS(SELECT 1 FROM audit WHERE pos IS NULL)", &pending) || pending.Rows() != 1) {
            return false;
        }
        if (pending.Text(0, 0) != "t") {
            return true;
        }
        if (!c.Script("BEGIN")) {
            return false;
        }
        Result locked, placed;
        bool ok =
            c.Run(wait ? "SELECT pg_advisory_xact_lock($1), true" : "SELECT pg_try_advisory_xact_lock($1)",
                  Params().Add(kPlacingLock), &locked) &&
            locked.Rows() == 1;
        if (ok && locked.Text(0, wait ? 1 : 0) != "t") {
            c.Script("ROLLBACK");
            return true; // another server is at it
        }
        ok = ok &&
             c.Run("WITH todo AS (SELECT seq, row_number() OVER (ORDER BY seq) AS rn FROM audit"
                   " WHERE pos IS NULL ORDER BY seq LIMIT $1),"
                   " done AS (UPDATE audit a SET pos = b.n + todo.rn FROM todo, audit_count b"
                   " WHERE a.seq = todo.seq RETURNING 1)"
                   " UPDATE audit_count SET n = n + (SELECT count(*) FROM done) RETURNING"
                   " (SELECT count(*) FROM done)",
                   Params().Add(kPlaceBatch), &placed) &&
             placed.Rows() == 1 && c.Script("COMMIT");
        if (!ok) {
            c.Script("ROLLBACK");
            return false;
        }
        if (placed.Int(0, 0) < kPlaceBatch) {
            return true;
        }
    }
}

class PgStore final : public SecurityStore {
public:
    PgStore(const std::string& conninfo, bool fullSync) : pool_(conninfo, fullSync) {}

    bool Open(size_t connections, std::string& reason)
    {
        if (!pool_.Open(connections, reason)) {
            return false;
        }
        pg::Pool::Lease c(pool_);
        return pg::Migrate(*c, reason);
    }

    // ---- applications, groups, objects ----

    bool ListApplications(std::vector<ApplicationRecord>& out) override
    {
        return Read(out, [](Connection& c, std::vector<ApplicationRecord>& list) {
            return ReadApplications(c, list);
        });
    }
    bool ListApplicationNamed(const std::string& name, std::vector<ApplicationRecord>& out) override
    {
        return Read(out, [&](Connection& c, std::vector<ApplicationRecord>& list) {
            return ReadApplications(c, list, name);
        });
    }

    StoreResult AddApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            PgChangeQueries q(c);
            if (StoreResult r = CheckFree(q, kChangeSql.appl, a.dn, a.name, 0, 0); r != StoreResult::Ok) {
                return r;
            }
            return InsertApplication(c, a) > 0 && WriteAudit(c, audit) ? StoreResult::Ok
                                                                       : StoreResult::Failed;
        });
    }

    StoreResult UpdateApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return UpdateByDn("SELECT a.id, EXISTS(SELECT 1 FROM appl x WHERE fold_ascii(x.name)="
                          "fold_ascii($2) AND x.id<>a.id) FROM appl a WHERE a.dn=$1 FOR UPDATE OF a",
                          a.dn, a.name,
                          "UPDATE appl SET name=$1,description=$2,perm_plain=$3,perm_enc=$4,acl_plain=$5,"
                          "acl_enc=$6 WHERE id=$7",
                          pg::ApplicationFields(a), audit);
    }

    StoreResult DeleteApplication(const std::string& dn, const AuditRecord& audit) override
    {
        return DeleteIn(kChangeSql.appl, dn, audit);
    }

    StoreResult ImportApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            PgChangeQueries q(c);
            if (StoreResult r = CheckImportFree(q, kChangeSql, a); r != StoreResult::Ok) {
                return r;
            }
            return InsertTree(c, a) && WriteAudit(c, audit) ? StoreResult::Ok : StoreResult::Failed;
        });
    }

    StoreResult AddGroup(const GroupRecord& g, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            PgChangeQueries q(c);
            return AddUnder(q, kChangeSql.appl, g.applDn, kChangeSql.group, g.dn, g.name, audit,
                            [&](int64_t applId) { return InsertGroup(c, applId, g) > 0; });
        });
    }

    StoreResult UpdateGroup(const GroupRecord& g, const AuditRecord& audit) override
    {
        return UpdateByDn("SELECT g.id, EXISTS(SELECT 1 FROM secgroup x WHERE x.appl_id=g.appl_id"
                          " AND fold_ascii(x.name)=fold_ascii($2) AND x.id<>g.id) FROM secgroup g WHERE "
                          "g.dn=$1 FOR UPDATE OF g",
                          g.dn, g.name,
                          "UPDATE secgroup SET name=$1,description=$2,acl_plain=$3,acl_enc=$4 WHERE id=$5",
                          Params().Add(g.name).Add(g.description).Add(g.aclPlain).Add(g.aclEncrypted), audit);
    }

    StoreResult DeleteGroup(const std::string& dn, const AuditRecord& audit) override
    {
        return DeleteIn(kChangeSql.group, dn, audit);
    }

    bool FindGroup(const std::string& dn, GroupRecord& out) override
    {
        Result r;
        if (!FindByIdentity("SELECT g.dn, a.dn, g.name, g.description, g.acl_plain, g.acl_enc"
                            " FROM secgroup g JOIN appl a ON a.id=g.appl_id WHERE g.dn=$1",
                            dn, r)) {
            return false;
        }
        out = GroupRecord{
            r.Text(0, 0), r.Text(0, 1), r.Text(0, 2), r.Text(0, 3), r.Text(0, 4), r.Text(0, 5), {}};
        return true;
    }

    StoreResult AddObject(const ObjectRecord& o, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            PgChangeQueries q(c);
            return AddUnder(q, kChangeSql.group, o.groupDn, kChangeSql.object, o.dn, o.name, audit,
                            [&](int64_t groupId) { return InsertObjects(c, groupId, {o}); });
        });
    }

    StoreResult UpdateObject(const ObjectRecord& o, const AuditRecord& audit) override
    {
        return UpdateByDn("SELECT o.id, EXISTS(SELECT 1 FROM secobj x WHERE x.group_id=o.group_id"
                          " AND fold_ascii(x.name)=fold_ascii($2) AND x.id<>o.id) FROM secobj o WHERE "
                          "o.dn=$1 FOR UPDATE OF o",
                          o.dn, o.name,
                          "UPDATE secobj SET name=$1,description=$2,acl_plain=$3,acl_enc=$4,use_q=$5,"
                          "q_name=$6,q_type=$7,q_oper=$8,q_value=$9 WHERE id=$10",
                          Params()
                              .Add(o.name)
                              .Add(o.description)
                              .Add(o.aclPlain)
                              .Add(o.aclEncrypted)
                              .Add(o.useQualifier)
                              .Add(o.qualifierName)
                              .Add(o.qualifierType)
                              .Add(o.qualifierOperator)
                              .Add(o.qualifierValue),
                          audit);
    }

    StoreResult DeleteObject(const std::string& dn, const AuditRecord& audit) override
    {
        return DeleteIn(kChangeSql.object, dn, audit);
    }

    bool FindObject(const std::string& dn, ObjectRecord& out) override
    {
        Result r;
        if (!FindByIdentity("SELECT o.dn, g.dn, o.name, o.description, o.acl_plain, o.acl_enc, o.use_q,"
                            " o.q_name, o.q_type, o.q_oper, o.q_value"
                            " FROM secobj o JOIN secgroup g ON g.id=o.group_id WHERE o.dn=$1",
                            dn, r)) {
            return false;
        }
        out = ObjectRecord{r.Text(0, 0),
                           r.Text(0, 1),
                           r.Text(0, 2),
                           r.Text(0, 3),
                           r.Text(0, 4),
                           r.Text(0, 5),
                           static_cast<int32_t>(r.Int(0, 6)),
                           r.Text(0, 7),
                           r.Text(0, 8),
                           r.Text(0, 9),
                           r.Text(0, 10)};
        return true;
    }

    // ---- roles ----

    bool ListRoles(std::vector<RoleRecord>& out) override { return Read(out, ReadRoles); }

    StoreResult AddRole(const RoleRecord& role, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            PgChangeQueries q(c);
            if (StoreResult r = CheckFree(q, kChangeSql.role, role.dn, role.name, 0, 0);
                r != StoreResult::Ok) {
                return r;
            }
            return InsertRole(c, role) > 0 && WriteAudit(c, audit) ? StoreResult::Ok : StoreResult::Failed;
        });
    }

    StoreResult UpdateRole(const RoleRecord& role, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            // The row lock keeps two updates of the role from mixing their member lists.
            PgChangeQueries q(c);
            int64_t id = q.IdOf("SELECT id FROM role WHERE dn=$1 FOR UPDATE", role.dn);
            if (id <= 0) {
                return id == 0 ? StoreResult::NotFound : StoreResult::Failed;
            }
            if (StoreResult r = CheckFree(q, kChangeSql.role, role.dn, role.name, 0, id);
                r != StoreResult::Ok) {
                return r;
            }
            bool ok = c.Run("UPDATE role SET name=$1,description=$2 WHERE id=$3",
                            Params().Add(role.name).Add(role.description).Add(id)) &&
                      c.Run("DELETE FROM role_member WHERE role_id=$1", Params().Add(id)) &&
                      InsertMembers(c, id, role) && WriteAudit(c, audit);
            return ok ? StoreResult::Ok : StoreResult::Failed;
        });
    }

    StoreResult DeleteRole(const std::string& dn, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            Result r;
            if (!c.Run("DELETE FROM role WHERE dn=$1 RETURNING name", Params().Add(dn), &r)) {
                return StoreResult::Failed;
            }
            if (r.Rows() == 0) {
                return StoreResult::NotFound;
            }
            PgChangeQueries q(c);
            return RemoveRoleFromLists(q, kChangeSql, r.Text(0, 0), audit) && WriteAudit(c, audit)
                       ? StoreResult::Ok
                       : StoreResult::Failed;
        });
    }

    // ---- log ----

    StoreResult AddLog(const LogEntry& entry) override
    {
        return Write(
            [&](Connection& c) { return InsertLog(c, entry) ? StoreResult::Ok : StoreResult::Failed; });
    }

    bool GetLogPage(const TimeRange& range, int64_t page, std::vector<LogEntry>& out) override
    {
        out.clear();
        if (page < 0) {
            return false;
        }
        return Read(out, [&](Connection& c, std::vector<LogEntry>& list) {
            return ReadLogPage(c, range, page, list);
        });
    }

    // Removes the range in batches, each its own transaction, so that a large
    // delete never holds its locks for long. The audit record goes with the
    // first batch: no entry leaves the log without it. A delete cut short
    // leaves the rest of the range for the next attempt.
    StoreResult DeleteLogs(const TimeRange& range, const AuditRecord& audit, int64_t& removed) override
    {
        removed = 0;
        std::string to = range.to.empty() ? std::string("~") : range.to;
        std::string afterTime = range.from;
        int64_t afterId = 0;
        for (bool first = true;; first = false) {
            int64_t n = 0;
            StoreResult r = Write([&](Connection& c) {
                Result gone;
                if (!c.Run(kDeleteLogRange, Params().Add(afterTime).Add(to).Add(kDeleteBatch).Add(afterId),
                           &gone) ||
                    gone.Rows() != 1) {
                    return StoreResult::Failed;
                }
                n = gone.Int(0, 0);
                if (n > 0) {
                    afterTime = gone.Text(0, 1);
                    afterId = gone.Int(0, 2);
                }
                return !first || WriteAudit(c, audit) ? StoreResult::Ok : StoreResult::Failed;
            });
            if (r != StoreResult::Ok) {
                return r;
            }
            removed += n;
            if (n < kDeleteBatch) {
                break;
            }
        }
        // The emptied counts of the range go too.
        std::string fromDay = range.from.substr(0, 10);
        std::string toDay = range.to.empty() ? std::string("~") : range.to.substr(0, 10);
        return Write([&](Connection& c) {
            for (const char* sql : {"DELETE FROM log_day WHERE key>=$1 AND key<$2 AND n<=0",
                                    "DELETE FROM log_hour WHERE key>=$1 AND key<$2 AND n<=0",
                                    "DELETE FROM log_minute WHERE key>=$1 AND key<$2 AND n<=0"}) {
                if (!c.Run(sql, Params().Add(fromDay).Add(toDay))) {
                    return StoreResult::Failed;
                }
            }
            return StoreResult::Ok;
        });
    }

    StoreResult DeleteLogsAt(const std::string& second, const AuditRecord& audit, int64_t& removed) override
    {
        removed = 0;
        return Write([&](Connection& c) {
            Result gone;
            if (!c.Run(kDeleteLogSecond, Params().Add(second), &gone) || gone.Rows() != 1) {
                return StoreResult::Failed;
            }
            removed = gone.Int(0, 0);
            return WriteAudit(c, audit) ? StoreResult::Ok : StoreResult::Failed;
        });
    }

    // ---- audit and flags ----

    bool GetAuditPage(const AuditFilter& filter, int64_t page, std::vector<AuditRecord>& out) override
    {
        out.clear();
        if (page < 0) {
            return false;
        }
        pg::Pool::Lease c(pool_);
        if (!filter.Empty()) {
            return PlaceAudit(*c, true) && pg::ReadAuditPage(*c, filter, page, out);
        }
        Result r;
        if (!PlaceAudit(*c, true) ||
            !c->Run("SELECT time,who,computer,object,operation,identity,name,old_value,new_value FROM audit"
                    " WHERE pos <= (SELECT n FROM audit_count) - $1 ORDER BY pos DESC LIMIT $2",
                    Params().Add(page * kPageSize).Add(static_cast<int64_t>(kPageSize)), &r)) {
            return false;
        }
        for (int i = 0; i < r.Rows(); ++i) {
            out.push_back(AuditRecord{r.Text(i, 0), r.Text(i, 1), r.Text(i, 2), r.Text(i, 3), r.Text(i, 4),
                                      r.Text(i, 5), r.Text(i, 6), r.Text(i, 7), r.Text(i, 8)});
        }
        return true;
    }

    StoreResult AppendAudit(const AuditRecord& audit) override
    {
        return Write(
            [&](Connection& c) { return WriteAudit(c, audit) ? StoreResult::Ok : StoreResult::Failed; });
    }

    bool GetComplianceFlag(bool& on) override
    {
        on = false;
        pg::Pool::Lease c(pool_);
        Result r;
        if (!c->Run("SELECT value FROM setting WHERE key='compliance'", &r)) {
            return false;
        }
        on = r.Rows() == 1 && r.Text(0, 0) == "on";
        return true;
    }

    StoreResult SetComplianceOn(const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            return c.Run("INSERT INTO setting(key,value) VALUES('compliance','on')"
                         " ON CONFLICT(key) DO UPDATE SET value='on'") &&
                           WriteAudit(c, audit)
                       ? StoreResult::Ok
                       : StoreResult::Failed;
        });
    }

    bool IsEmpty(bool& empty) override
    {
        pg::Pool::Lease c(pool_);
        Result r;
        if (!c->Run("SELECT EXISTS(SELECT 1 FROM appl) OR EXISTS(SELECT 1 FROM role) OR EXISTS(SELECT 1 FROM "
                    "log)",
                    &r) ||
            r.Rows() != 1) {
            return false;
        }
        empty = r.Text(0, 0) == "f";
        return true;
    }

    // Every change writes an audit record, so the number of committed audit
    // records (placed and not yet placed, read in one snapshot) tells whether
    // a list read earlier is still current, whichever server made the change.
    uint64_t SharedGeneration() override
    {
        pg::Pool::Lease c(pool_);
        Result r;
        if (c->Run("SELECT n + (SELECT count(*) FROM audit WHERE pos IS NULL) FROM audit_count", &r) &&
            r.Rows() == 1) {
            return static_cast<uint64_t>(r.Int(0, 0));
        }
        // Unknown: a number no list was kept under.
        return (uint64_t{1} << 63) + unknownGeneration_.fetch_add(1);
    }
    bool Shared() const override { return true; }

    std::unique_ptr<BulkWriter> BeginBulk() override;

    pg::Pool pool_;

private:
    // Runs one change in a transaction, again when it meets a deadlock or a
    // serialisation failure; a failed statement's unique index or foreign key
    // says which refusal it is.
    template <class Body>
    StoreResult Write(Body&& body)
    {
        pg::Pool::Lease c(pool_);
        for (int attempt = 1;; ++attempt) {
            if (!c->Script("BEGIN")) {
                return StoreResult::Failed;
            }
            StoreResult r = body(*c);
            if (r == StoreResult::Ok && c->Script("COMMIT")) {
                // Now and then a server places the records written since.
                if (changes_.fetch_add(1) % kPlaceEvery == kPlaceEvery - 1) {
                    PlaceAudit(*c, false);
                }
                return StoreResult::Ok;
            }
            std::string state = c->SqlState();
            std::string constraint = c->Constraint();
            bool retry = c->Retryable() && attempt < kAttempts;
            c->Script("ROLLBACK");
            if (retry) {
                continue;
            }
            return r == StoreResult::Failed || r == StoreResult::Ok ? Classify(state, constraint) : r;
        }
    }

    template <class T, class Reader>
    bool Read(std::vector<T>& out, Reader&& reader)
    {
        out.clear();
        pg::Pool::Lease c(pool_);
        if (!c->Script("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) {
            return false;
        }
        bool ok = reader(*c, out);
        c->Script(ok ? "COMMIT" : "ROLLBACK");
        if (!ok) {
            out.clear();
        }
        return ok;
    }

    // The row a statement finds by identity; false when there is none or the
    // read fails.
    bool FindByIdentity(const char* sql, const std::string& dn, Result& r)
    {
        pg::Pool::Lease c(pool_);
        return c->Run(sql, Params().Add(dn), &r) && r.Rows() > 0;
    }

    StoreResult DeleteIn(const ChangeSql::Kind& table, const std::string& dn, const AuditRecord& audit)
    {
        return Write([&](Connection& c) {
            PgChangeQueries q(c);
            return DeleteByIdentity(q, table, dn, audit);
        });
    }

    // Locks the record with the identity, refuses a name its scope already
    // holds and writes the fields, the record's id bound last, with the audit.
    StoreResult UpdateByDn(const char* lockSql, const std::string& dn, const std::string& name,
                           const char* updateSql, const Params& fields, const AuditRecord& audit)
    {
        return Write([&](Connection& c) {
            int64_t id = 0;
            if (StoreResult r = LockForUpdate(c, lockSql, dn, name, id); r != StoreResult::Ok) {
                return r;
            }
            Params params = fields;
            params.Add(id);
            return RunWithAudit(c, updateSql, std::move(params), audit) ? StoreResult::Ok
                                                                        : StoreResult::Failed;
        });
    }

    std::atomic<uint64_t> unknownGeneration_{0};
    std::atomic<uint64_t> changes_{0};
};

// One transaction on a connection of its own; log entries travel in COPY
// batches with their counts added at the end of each batch.
class PgBulkWriter final : public SecurityStore::BulkWriter {
public:
    explicit PgBulkWriter(PgStore& store) : lease_(store.pool_) { active_ = lease_->Script("BEGIN"); }
    ~PgBulkWriter() override
    {
        if (active_) {
            lease_->Script("ROLLBACK");
        }
    }

    bool Application(const ApplicationRecord& appl) override
    {
        return Flush() && Check(InsertTree(*lease_, appl));
    }
    bool Role(const RoleRecord& role) override { return Flush() && Check(InsertRole(*lease_, role) > 0); }
    bool Log(const LogEntry& e) override
    {
        if (!active_ || e.time.size() < 16) {
            return false;
        }
        pg::AppendCopyField(rows_, e.time, false);
        pg::AppendCopyField(rows_, e.user, false);
        pg::AppendCopyField(rows_, e.action, false);
        pg::AppendCopyField(rows_, e.status, false);
        pg::AppendCopyField(rows_, e.computer, true);
        ++minutes_[e.time.substr(0, 16)];
        return rows_.size() < (4u << 20) || Flush();
    }
    bool Audit(const AuditRecord& audit) override { return Flush() && Check(WriteAudit(*lease_, audit)); }
    bool Commit() override
    {
        if (!Flush()) {
            return false;
        }
        active_ = false;
        if (lease_->Script("COMMIT")) {
            return true;
        }
        lease_->Script("ROLLBACK");
        return false;
    }

private:
    bool Check(bool ok)
    {
        if (!ok && active_) {
            lease_->Script("ROLLBACK");
            active_ = false;
        }
        return ok;
    }
    bool Flush()
    {
        if (!active_) {
            return false;
        }
        if (rows_.empty()) {
            return true;
        }
        bool ok = lease_->Copy("COPY log(time,who,action,status,computer) FROM STDIN", rows_) &&
                  AddBuckets(*lease_, minutes_);
        rows_.clear();
        minutes_.clear();
        return Check(ok);
    }

    pg::Pool::Lease lease_;
    bool active_ = false;
    std::string rows_;
    std::map<std::string, int64_t> minutes_;
};

std::unique_ptr<SecurityStore::BulkWriter> PgStore::BeginBulk()
{
    return std::make_unique<PgBulkWriter>(*this);
}

} // namespace

std::unique_ptr<SecurityStore> OpenPgStore(const std::string& conninfo, std::string& reason, bool fullSync,
                                           size_t connections)
{
    auto store = std::make_unique<PgStore>(conninfo, fullSync);
    if (!store->Open(connections < 1 ? 1 : connections, reason)) {
        return nullptr;
    }
    return store;
}

std::unique_ptr<SecurityStore> OpenStore(const std::string& database, std::string& reason, bool fullSync,
                                         size_t connections)
{
    if (pg::IsConnectionString(database)) {
        return OpenPgStore(database, reason, fullSync, connections);
    }
    return OpenSqliteStore(database, reason, fullSync);
}

} // namespace zyr::server
