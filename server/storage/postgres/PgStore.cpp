// PostgreSQL backend: one database that several servers share. Each request
// borrows a connection from a pool as large as the server's thread pool.
// Changes run in READ COMMITTED transactions; the unique indexes on
// identities and names, and the foreign keys to parents, decide races between
// servers: the loser's transaction fails as a whole and its request is
// refused as a duplicate (or a missing parent). Reads of more than one table
// run in one REPEATABLE READ snapshot. Every statement binds its values.
#include "server/storage/PlainLists.h"
#include "server/storage/SecurityStore.h"
#include "server/storage/postgres/PgConnection.h"

#include "cache/TextCipher.h"

#include <atomic>
#include <map>
#include <unordered_map>

namespace zyr::server {

namespace {

using pg::Connection;
using pg::Params;
using pg::Result;

// The numbered schema migrations, the same steps as the SQLite backend's,
// applied in order, each in its own transaction, recorded in schema_version.
const char* const kMigrations[] = {
    // 1: the security database, the log with its count buckets, the audit trail.
    R"sql(
CREATE FUNCTION fold_ascii(t text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE
  AS $$ SELECT translate(t, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') $$;
CREATE TABLE appl(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  dn text NOT NULL CONSTRAINT appl_dn_key UNIQUE,
  name text NOT NULL,
  description text NOT NULL DEFAULT '',
  perm_plain text NOT NULL DEFAULT '',
  perm_enc text NOT NULL DEFAULT '',
  acl_plain text NOT NULL DEFAULT '',
  acl_enc text NOT NULL DEFAULT '');
CREATE UNIQUE INDEX appl_name_key ON appl(fold_ascii(name));
CREATE TABLE secgroup(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  dn text NOT NULL CONSTRAINT secgroup_dn_key UNIQUE,
  appl_id bigint NOT NULL REFERENCES appl(id) ON DELETE CASCADE,
  name text NOT NULL,
  description text NOT NULL DEFAULT '',
  acl_plain text NOT NULL DEFAULT '',
  acl_enc text NOT NULL DEFAULT '');
CREATE UNIQUE INDEX secgroup_name_key ON secgroup(appl_id, fold_ascii(name));
CREATE TABLE secobj(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  dn text NOT NULL CONSTRAINT secobj_dn_key UNIQUE,
  group_id bigint NOT NULL REFERENCES secgroup(id) ON DELETE CASCADE,
  name text NOT NULL,
  description text NOT NULL DEFAULT '',
  acl_plain text NOT NULL DEFAULT '',
  acl_enc text NOT NULL DEFAULT '',
  use_q integer NOT NULL DEFAULT 0,
  q_name text NOT NULL DEFAULT '',
  q_type text NOT NULL DEFAULT '',
  q_oper text NOT NULL DEFAULT '',
  q_value text NOT NULL DEFAULT '');
CREATE UNIQUE INDEX secobj_name_key ON secobj(group_id, fold_ascii(name));
CREATE TABLE role(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  dn text NOT NULL CONSTRAINT role_dn_key UNIQUE,
  name text NOT NULL,
  description text NOT NULL DEFAULT '');
CREATE UNIQUE INDEX role_name_key ON role(fold_ascii(name));
CREATE TABLE role_member(
  role_id bigint NOT NULL REFERENCES role(id) ON DELETE CASCADE,
  kind integer NOT NULL,
  position integer NOT NULL,
  name text NOT NULL,
  PRIMARY KEY(role_id, kind, position));
CREATE TABLE log(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  time text COLLATE "C" NOT NULL,
  who text NOT NULL DEFAULT '',
  action text NOT NULL DEFAULT '',
  status text NOT NULL DEFAULT '',
  computer text NOT NULL DEFAULT '');
CREATE INDEX log_time ON log(time, id);
CREATE TABLE log_day(key text COLLATE "C" PRIMARY KEY, n bigint NOT NULL);
CREATE TABLE log_hour(key text COLLATE "C" PRIMARY KEY, n bigint NOT NULL);
CREATE TABLE log_minute(key text COLLATE "C" PRIMARY KEY, n bigint NOT NULL);
-- Audit records take a place (pos) without gaps after their transaction has
-- committed, so that a page is a range of places and no change waits for
-- another's commit to number its record. audit_count holds the places given.
CREATE TABLE audit(
  seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  pos bigint UNIQUE,
  time text COLLATE "C" NOT NULL,
  who text NOT NULL,
  computer text NOT NULL,
  object text NOT NULL,
  operation text NOT NULL,
  identity text NOT NULL,
  name text NOT NULL,
  old_value text NOT NULL,
  new_value text NOT NULL);
CREATE INDEX audit_unplaced ON audit(seq) WHERE pos IS NULL;
CREATE TABLE audit_count(single boolean PRIMARY KEY DEFAULT true CHECK(single), n bigint NOT NULL);
INSERT INTO audit_count(n) VALUES(0);
-- The one change allowed: giving a record its place.
CREATE FUNCTION audit_kept() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP = 'UPDATE' AND OLD.pos IS NULL AND NEW.pos IS NOT NULL
     AND to_jsonb(OLD) - 'pos' = to_jsonb(NEW) - 'pos' THEN
    RETURN NEW;
  END IF;
  RAISE EXCEPTION 'audit records are never changed or removed';
END $$;
CREATE TRIGGER audit_kept_rows BEFORE UPDATE OR DELETE ON audit
  FOR EACH ROW EXECUTE FUNCTION audit_kept();
CREATE TRIGGER audit_kept_table BEFORE TRUNCATE ON audit
  FOR EACH STATEMENT EXECUTE FUNCTION audit_kept();
CREATE TABLE setting(key text PRIMARY KEY, value text NOT NULL);
)sql",
    // 2: the audit trail by time.
    R"sql(
CREATE INDEX audit_time ON audit(time);
)sql",
};

// Serialises schema migrations of servers that start together.
constexpr int64_t kMigrationLock = 0x7a79725f736368; // "zyr_sch"

constexpr int kMemberUser = 0;
constexpr int kMemberGroup = 1;
// Log entries removed per transaction by a range delete.
constexpr int64_t kDeleteBatch = 10000;
// Attempts of a change that meets a deadlock or a serialisation failure.
constexpr int kAttempts = 5;

constexpr const char* kWriteAudit =
    "INSERT INTO audit(time,who,computer,object,operation,identity,name,old_value,new_value)"
    " VALUES($1,$2,$3,$4,$5,$6,$7,$8,$9)";

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

bool WriteAudit(Connection& c, const AuditRecord& a)
{
    return c.Run(kWriteAudit, Params()
                                  .Add(a.time)
                                  .Add(a.user)
                                  .Add(a.computer)
                                  .Add(a.object)
                                  .Add(a.operation)
                                  .Add(a.identity)
                                  .Add(a.name)
                                  .Add(a.oldValue)
                                  .Add(a.newValue));
}

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

// Id of the row found by a one-parameter query, 0 when there is none, -1 on failure.
int64_t IdOf(Connection& c, const char* sql, const std::string& key)
{
    Result r;
    if (!c.Run(sql, Params().Add(key), &r)) {
        return -1;
    }
    return r.Rows() ? r.Int(0, 0) : 0;
}

// Adds counts to the day, hour and minute buckets.
bool AddBuckets(Connection& c, const std::map<std::string, int64_t>& minutes)
{
    if (minutes.empty()) {
        return true;
    }
    std::map<std::string, int64_t> levels[3];
    for (const auto& [minute, n] : minutes) {
        levels[0][minute.substr(0, 10)] += n;
        levels[1][minute.substr(0, 13)] += n;
        levels[2][minute] += n;
    }
    static const char* const kUpserts[] = {
        "INSERT INTO log_day(key,n) SELECT * FROM unnest($1::text[], $2::bigint[])"
        " ON CONFLICT(key) DO UPDATE SET n = log_day.n + EXCLUDED.n",
        "INSERT INTO log_hour(key,n) SELECT * FROM unnest($1::text[], $2::bigint[])"
        " ON CONFLICT(key) DO UPDATE SET n = log_hour.n + EXCLUDED.n",
        "INSERT INTO log_minute(key,n) SELECT * FROM unnest($1::text[], $2::bigint[])"
        " ON CONFLICT(key) DO UPDATE SET n = log_minute.n + EXCLUDED.n",
    };
    for (size_t level = 0; level < 3; ++level) {
        std::vector<std::string> keys, counts;
        for (const auto& [key, n] : levels[level]) {
            keys.push_back(key);
            counts.push_back(std::to_string(n));
        }
        if (!c.Run(kUpserts[level], Params().Add(pg::ArrayLiteral(keys)).Add(pg::ArrayLiteral(counts)))) {
            return false;
        }
    }
    return true;
}

bool InsertLog(Connection& c, const LogEntry& e)
{
    if (e.time.size() < 16) {
        return false;
    }
    return c.Run("INSERT INTO log(time,who,action,status,computer) VALUES($1,$2,$3,$4,$5)",
                 Params().Add(e.time).Add(e.user).Add(e.action).Add(e.status).Add(e.computer)) &&
           AddBuckets(c, {{e.time.substr(0, 16), 1}});
}

int64_t InsertApplication(Connection& c, const ApplicationRecord& a)
{
    Result r;
    if (!c.Run("INSERT INTO appl(dn,name,description,perm_plain,perm_enc,acl_plain,acl_enc)"
               " VALUES($1,$2,$3,$4,$5,$6,$7) RETURNING id",
               Params()
                   .Add(a.dn)
                   .Add(a.name)
                   .Add(a.description)
                   .Add(a.permissionsPlain)
                   .Add(a.permissionsEncrypted)
                   .Add(a.aclPlain)
                   .Add(a.aclEncrypted),
               &r) ||
        r.Rows() != 1) {
        return -1;
    }
    return r.Int(0, 0);
}

int64_t InsertGroup(Connection& c, int64_t applId, const GroupRecord& g)
{
    Result r;
    if (!c.Run(
            "INSERT INTO secgroup(dn,appl_id,name,description,acl_plain,acl_enc)"
            " VALUES($1,$2,$3,$4,$5,$6) RETURNING id",
            Params().Add(g.dn).Add(applId).Add(g.name).Add(g.description).Add(g.aclPlain).Add(g.aclEncrypted),
            &r) ||
        r.Rows() != 1) {
        return -1;
    }
    return r.Int(0, 0);
}

// The objects of one group in one statement, in their order.
bool InsertObjects(Connection& c, int64_t groupId, const std::vector<ObjectRecord>& objects)
{
    if (objects.empty()) {
        return true;
    }
    std::vector<std::string> columns[10];
    for (const auto& o : objects) {
        const std::string* fields[] = {
            &o.dn,   &o.name,          &o.description,   &o.aclPlain,          &o.aclEncrypted,
            nullptr, &o.qualifierName, &o.qualifierType, &o.qualifierOperator, &o.qualifierValue};
        for (size_t i = 0; i < 10; ++i) {
            columns[i].push_back(fields[i] ? *fields[i] : std::to_string(o.useQualifier));
        }
    }
    Params params;
    params.Add(groupId);
    for (const auto& column : columns) {
        params.Add(pg::ArrayLiteral(column));
    }
    return c.Run(
        "INSERT INTO secobj(dn,group_id,name,description,acl_plain,acl_enc,use_q,q_name,q_type,"
        "q_oper,q_value)"
        " SELECT t.dn,$1,t.name,t.description,t.acl_plain,t.acl_enc,t.use_q,t.q_name,t.q_type,t.q_oper,"
        "t.q_value FROM unnest($2::text[],$3::text[],$4::text[],$5::text[],$6::text[],$7::integer[],"
        "$8::text[],$9::text[],$10::text[],$11::text[]) WITH ORDINALITY"
        " AS t(dn,name,description,acl_plain,acl_enc,use_q,q_name,q_type,q_oper,q_value,ord)"
        " ORDER BY t.ord",
        params);
}

bool InsertTree(Connection& c, const ApplicationRecord& a)
{
    int64_t applId = InsertApplication(c, a);
    if (applId < 0) {
        return false;
    }
    for (const auto& g : a.groups) {
        int64_t groupId = InsertGroup(c, applId, g);
        if (groupId < 0 || !InsertObjects(c, groupId, g.objects)) {
            return false;
        }
    }
    return true;
}

bool InsertMembers(Connection& c, int64_t roleId, const RoleRecord& role)
{
    std::vector<std::string> kinds, positions, names;
    auto put = [&](int kind, const std::vector<std::string>& list) {
        for (size_t i = 0; i < list.size(); ++i) {
            kinds.push_back(std::to_string(kind));
            positions.push_back(std::to_string(i));
            names.push_back(list[i]);
        }
    };
    put(kMemberUser, role.memberUsers);
    put(kMemberGroup, role.memberGroups);
    if (names.empty()) {
        return true;
    }
    return c.Run("INSERT INTO role_member(role_id,kind,position,name)"
                 " SELECT $1, k, p, n FROM unnest($2::integer[], $3::integer[], $4::text[]) AS t(k,p,n)",
                 Params()
                     .Add(roleId)
                     .Add(pg::ArrayLiteral(kinds))
                     .Add(pg::ArrayLiteral(positions))
                     .Add(pg::ArrayLiteral(names)));
}

int64_t InsertRole(Connection& c, const RoleRecord& role)
{
    Result r;
    if (!c.Run("INSERT INTO role(dn,name,description) VALUES($1,$2,$3) RETURNING id",
               Params().Add(role.dn).Add(role.name).Add(role.description), &r) ||
        r.Rows() != 1) {
        return -1;
    }
    int64_t id = r.Int(0, 0);
    return InsertMembers(c, id, role) ? id : -1;
}

// DuplicateIdentity or DuplicateName when the identity or the name is taken
// (by another record than `self`).
StoreResult CheckFree(Connection& c, const char* dnSql, const std::string& dn, const char* nameSql,
                      const std::string& name, int64_t scope, int64_t self)
{
    if (self == 0) {
        int64_t id = IdOf(c, dnSql, dn);
        if (id != 0) {
            return id < 0 ? StoreResult::Failed : StoreResult::DuplicateIdentity;
        }
    }
    Result r;
    if (!c.Run(nameSql, Params().Add(name).Add(scope).Add(self), &r)) {
        return StoreResult::Failed;
    }
    return r.Rows() ? StoreResult::DuplicateName : StoreResult::Ok;
}

StoreResult CheckApplicationFree(Connection& c, const ApplicationRecord& a, int64_t self)
{
    return CheckFree(c, "SELECT id FROM appl WHERE dn=$1", a.dn,
                     "SELECT id FROM appl WHERE fold_ascii(name)=fold_ascii($1) AND $2::bigint=$2 AND id<>$3",
                     a.name, 0, self);
}

StoreResult CheckGroupFree(Connection& c, const GroupRecord& g, int64_t applId, int64_t self)
{
    return CheckFree(
        c, "SELECT id FROM secgroup WHERE dn=$1", g.dn,
        "SELECT id FROM secgroup WHERE fold_ascii(name)=fold_ascii($1) AND appl_id=$2 AND id<>$3", g.name,
        applId, self);
}

StoreResult CheckObjectFree(Connection& c, const ObjectRecord& o, int64_t groupId, int64_t self)
{
    return CheckFree(c, "SELECT id FROM secobj WHERE dn=$1", o.dn,
                     "SELECT id FROM secobj WHERE fold_ascii(name)=fold_ascii($1) AND group_id=$2 AND id<>$3",
                     o.name, groupId, self);
}

StoreResult CheckRoleFree(Connection& c, const RoleRecord& r, int64_t self)
{
    return CheckFree(c, "SELECT id FROM role WHERE dn=$1", r.dn,
                     "SELECT id FROM role WHERE fold_ascii(name)=fold_ascii($1) AND $2::bigint=$2 AND id<>$3",
                     r.name, 0, self);
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

bool ReadApplications(Connection& c, std::vector<ApplicationRecord>& out)
{
    std::unordered_map<int64_t, size_t> applIndex;
    std::unordered_map<int64_t, std::pair<size_t, size_t>> groupIndex;
    Result a;
    if (!c.Run("SELECT id,dn,name,description,perm_plain,perm_enc,acl_plain,acl_enc FROM appl ORDER BY id",
               &a)) {
        return false;
    }
    for (int i = 0; i < a.Rows(); ++i) {
        applIndex[a.Int(i, 0)] = out.size();
        out.push_back(ApplicationRecord{a.Text(i, 1),
                                        a.Text(i, 2),
                                        a.Text(i, 3),
                                        a.Text(i, 4),
                                        a.Text(i, 5),
                                        a.Text(i, 6),
                                        a.Text(i, 7),
                                        {}});
    }
    Result g;
    if (!c.Run("SELECT id,appl_id,dn,name,description,acl_plain,acl_enc FROM secgroup ORDER BY id", &g)) {
        return false;
    }
    for (int i = 0; i < g.Rows(); ++i) {
        auto it = applIndex.find(g.Int(i, 1));
        if (it == applIndex.end()) {
            continue;
        }
        auto& groups = out[it->second].groups;
        groupIndex[g.Int(i, 0)] = {it->second, groups.size()};
        groups.push_back(GroupRecord{
            g.Text(i, 2), out[it->second].dn, g.Text(i, 3), g.Text(i, 4), g.Text(i, 5), g.Text(i, 6), {}});
    }
    // Objects are many: only what the list reply carries is read.
    Result o;
    if (!c.Run("SELECT group_id,dn,name,description,acl_enc FROM secobj ORDER BY id", &o)) {
        return false;
    }
    for (int i = 0; i < o.Rows(); ++i) {
        auto it = groupIndex.find(o.Int(i, 0));
        if (it == groupIndex.end()) {
            continue;
        }
        auto& group = out[it->second.first].groups[it->second.second];
        ObjectRecord& object = group.objects.emplace_back();
        object.dn = o.Text(i, 1);
        object.groupDn = group.dn;
        object.name = o.Text(i, 2);
        object.description = o.Text(i, 3);
        object.aclEncrypted = o.Text(i, 4);
    }
    return true;
}

bool ReadRoles(Connection& c, std::vector<RoleRecord>& out)
{
    std::unordered_map<int64_t, size_t> index;
    Result r;
    if (!c.Run("SELECT id,dn,name,description FROM role ORDER BY id", &r)) {
        return false;
    }
    for (int i = 0; i < r.Rows(); ++i) {
        index[r.Int(i, 0)] = out.size();
        out.push_back(RoleRecord{r.Text(i, 1), r.Text(i, 2), r.Text(i, 3), {}, {}});
    }
    Result m;
    if (!c.Run("SELECT role_id,kind,name FROM role_member ORDER BY role_id,kind,position", &m)) {
        return false;
    }
    for (int i = 0; i < m.Rows(); ++i) {
        auto it = index.find(m.Int(i, 0));
        if (it == index.end()) {
            continue;
        }
        auto& role = out[it->second];
        (m.Int(i, 1) == kMemberUser ? role.memberUsers : role.memberGroups).push_back(m.Text(i, 2));
    }
    return true;
}

// Finds, walking the day, hour and minute counts from the newest, the minute
// that holds entry number `skip` of the range; the page is then read from the
// time index with an offset smaller than that minute's count.
bool ReadLogPage(Connection& c, const TimeRange& range, int64_t page, std::vector<LogEntry>& out)
{
    int64_t skip = page * kPageSize;
    std::string lower = range.from.substr(0, 10);
    std::string upper = range.to.empty() ? std::string("~") : range.to.substr(0, 10);
    std::string key;
    static const char* const kLevels[] = {
        "SELECT key,n FROM log_day WHERE key>=$1 AND key<$2 AND n>0 ORDER BY key DESC",
        "SELECT key,n FROM log_hour WHERE key>$1 AND key<$2 AND n>0 ORDER BY key DESC",
        "SELECT key,n FROM log_minute WHERE key>$1 AND key<$2 AND n>0 ORDER BY key DESC",
    };
    for (size_t level = 0; level < 3; ++level) {
        Result r;
        Params params = level == 0 ? Params().Add(lower).Add(upper) : Params().Add(key).Add(key + "~");
        if (!c.Run(kLevels[level], params, &r)) {
            return false;
        }
        bool found = false;
        for (int i = 0; i < r.Rows(); ++i) {
            int64_t n = r.Int(i, 1);
            if (skip < n) {
                key = r.Text(i, 0);
                found = true;
                break;
            }
            skip -= n;
        }
        if (!found) {
            return true; // the range holds fewer entries: an empty page
        }
    }
    Result r;
    if (!c.Run("SELECT time,who,action,status,computer FROM log WHERE time<$1 AND time>=$2"
               " ORDER BY time DESC, id DESC LIMIT $3 OFFSET $4",
               Params().Add(key + ":~").Add(range.from).Add(static_cast<int64_t>(kPageSize)).Add(skip), &r)) {
        return false;
    }
    for (int i = 0; i < r.Rows(); ++i) {
        out.push_back(LogEntry{r.Text(i, 0), r.Text(i, 1), r.Text(i, 2), r.Text(i, 3), r.Text(i, 4)});
    }
    return true;
}

bool Migrate(Connection& c, std::string& reason)
{
    auto fail = [&](const std::string& what) {
        reason = what + ": " + c.Error();
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
            reason.pop_back();
        }
        c.Script("ROLLBACK");
        c.Run("SELECT pg_advisory_unlock($1)", Params().Add(kMigrationLock));
        return false;
    };
    if (!c.Run("SELECT pg_advisory_lock($1)", Params().Add(kMigrationLock))) {
        return fail("the schema cannot be locked");
    }
    if (!c.Script("CREATE TABLE IF NOT EXISTS schema_version(version integer NOT NULL)")) {
        return fail("the schema version cannot be read");
    }
    Result r;
    if (!c.Run("SELECT COALESCE(MAX(version),0) FROM schema_version", &r) || r.Rows() != 1) {
        return fail("the schema version cannot be read");
    }
    int64_t current = r.Int(0, 0);
    const int64_t known = static_cast<int64_t>(std::size(kMigrations));
    if (current > known) {
        reason = "the database was written by a newer server (schema " + std::to_string(current) + ")";
        c.Run("SELECT pg_advisory_unlock($1)", Params().Add(kMigrationLock));
        return false;
    }
    for (int64_t v = current + 1; v <= known; ++v) {
        if (!c.Script("BEGIN") || !c.Script(kMigrations[v - 1]) ||
            !c.Run("INSERT INTO schema_version(version) VALUES($1)", Params().Add(v)) ||
            !c.Script("COMMIT")) {
            return fail("schema migration " + std::to_string(v) + " failed");
        }
    }
    c.Run("SELECT pg_advisory_unlock($1)", Params().Add(kMigrationLock));
    return true;
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
        return Migrate(*c, reason);
    }

    // ---- applications, groups, objects ----

    bool ListApplications(std::vector<ApplicationRecord>& out) override
    {
        return Read(out, ReadApplications);
    }

    StoreResult AddApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            if (StoreResult r = CheckApplicationFree(c, a, 0); r != StoreResult::Ok) {
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
                          Params()
                              .Add(a.name)
                              .Add(a.description)
                              .Add(a.permissionsPlain)
                              .Add(a.permissionsEncrypted)
                              .Add(a.aclPlain)
                              .Add(a.aclEncrypted),
                          audit);
    }

    StoreResult DeleteApplication(const std::string& dn, const AuditRecord& audit) override
    {
        return DeleteByDn("DELETE FROM appl WHERE dn=$1", dn, audit);
    }

    StoreResult ImportApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            if (StoreResult r = CheckApplicationFree(c, a, 0); r != StoreResult::Ok) {
                return r;
            }
            for (const auto& g : a.groups) {
                int64_t id = IdOf(c, "SELECT id FROM secgroup WHERE dn=$1", g.dn);
                if (id != 0) {
                    return id < 0 ? StoreResult::Failed : StoreResult::DuplicateIdentity;
                }
                for (const auto& o : g.objects) {
                    id = IdOf(c, "SELECT id FROM secobj WHERE dn=$1", o.dn);
                    if (id != 0) {
                        return id < 0 ? StoreResult::Failed : StoreResult::DuplicateIdentity;
                    }
                }
            }
            return InsertTree(c, a) && WriteAudit(c, audit) ? StoreResult::Ok : StoreResult::Failed;
        });
    }

    StoreResult AddGroup(const GroupRecord& g, const AuditRecord& audit) override
    {
        return AddUnder("SELECT id FROM appl WHERE dn=$1", g.applDn, [&](Connection& c, int64_t applId) {
            if (StoreResult r = CheckGroupFree(c, g, applId, 0); r != StoreResult::Ok) {
                return r;
            }
            return InsertGroup(c, applId, g) > 0 && WriteAudit(c, audit) ? StoreResult::Ok
                                                                         : StoreResult::Failed;
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
        return DeleteByDn("DELETE FROM secgroup WHERE dn=$1", dn, audit);
    }

    bool FindGroup(const std::string& dn, GroupRecord& out) override
    {
        pg::Pool::Lease c(pool_);
        Result r;
        if (!c->Run("SELECT g.dn, a.dn, g.name, g.description, g.acl_plain, g.acl_enc"
                    " FROM secgroup g JOIN appl a ON a.id=g.appl_id WHERE g.dn=$1",
                    Params().Add(dn), &r) ||
            r.Rows() == 0) {
            return false;
        }
        out = GroupRecord{
            r.Text(0, 0), r.Text(0, 1), r.Text(0, 2), r.Text(0, 3), r.Text(0, 4), r.Text(0, 5), {}};
        return true;
    }

    StoreResult AddObject(const ObjectRecord& o, const AuditRecord& audit) override
    {
        return AddUnder(
            "SELECT id FROM secgroup WHERE dn=$1", o.groupDn, [&](Connection& c, int64_t groupId) {
                if (StoreResult r = CheckObjectFree(c, o, groupId, 0); r != StoreResult::Ok) {
                    return r;
                }
                return InsertObjects(c, groupId, {o}) && WriteAudit(c, audit) ? StoreResult::Ok
                                                                              : StoreResult::Failed;
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
        return DeleteByDn("DELETE FROM secobj WHERE dn=$1", dn, audit);
    }

    bool FindObject(const std::string& dn, ObjectRecord& out) override
    {
        pg::Pool::Lease c(pool_);
        Result r;
        if (!c->Run("SELECT o.dn, g.dn, o.name, o.description, o.acl_plain, o.acl_enc, o.use_q,"
                    " o.q_name, o.q_type, o.q_oper, o.q_value"
                    " FROM secobj o JOIN secgroup g ON g.id=o.group_id WHERE o.dn=$1",
                    Params().Add(dn), &r) ||
            r.Rows() == 0) {
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
            if (StoreResult r = CheckRoleFree(c, role, 0); r != StoreResult::Ok) {
                return r;
            }
            return InsertRole(c, role) > 0 && WriteAudit(c, audit) ? StoreResult::Ok : StoreResult::Failed;
        });
    }

    StoreResult UpdateRole(const RoleRecord& role, const AuditRecord& audit) override
    {
        return Write([&](Connection& c) {
            // The row lock keeps two updates of the role from mixing their member lists.
            int64_t id = IdOf(c, "SELECT id FROM role WHERE dn=$1 FOR UPDATE", role.dn);
            if (id <= 0) {
                return id == 0 ? StoreResult::NotFound : StoreResult::Failed;
            }
            if (StoreResult r = CheckRoleFree(c, role, id); r != StoreResult::Ok) {
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
            return RemoveRoleFromLists(c, r.Text(0, 0)) && WriteAudit(c, audit) ? StoreResult::Ok
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

    bool GetAuditPage(int64_t page, std::vector<AuditRecord>& out) override
    {
        out.clear();
        if (page < 0) {
            return false;
        }
        pg::Pool::Lease c(pool_);
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

    // A deleted role leaves no entry behind in any access-control list: a
    // role made later under the same name must not find its grants waiting.
    // The rows are locked as they are read, so that an update of another
    // server is neither lost nor overwritten with an older list. The
    // fold_ascii filter only narrows the rows read; the lists themselves decide.
    static bool RemoveRoleFromLists(Connection& c, const std::string& role)
    {
        struct Table {
            const char* select;
            const char* update;
        };
        static const Table kTables[] = {
            {"SELECT id,acl_plain FROM appl WHERE strpos(fold_ascii(acl_plain),fold_ascii($1))>0"
             " ORDER BY id FOR UPDATE",
             "UPDATE appl SET acl_plain=$1,acl_enc=$2 WHERE id=$3"},
            {"SELECT id,acl_plain FROM secgroup WHERE strpos(fold_ascii(acl_plain),fold_ascii($1))>0"
             " ORDER BY id FOR UPDATE",
             "UPDATE secgroup SET acl_plain=$1,acl_enc=$2 WHERE id=$3"},
            {"SELECT id,acl_plain FROM secobj WHERE strpos(fold_ascii(acl_plain),fold_ascii($1))>0"
             " ORDER BY id FOR UPDATE",
             "UPDATE secobj SET acl_plain=$1,acl_enc=$2 WHERE id=$3"},
        };
        for (const Table& table : kTables) {
            Result rows;
            if (!c.Run(table.select, Params().Add(role), &rows)) {
                return false;
            }
            for (int i = 0; i < rows.Rows(); ++i) {
                std::string plain;
                if (RemoveRoleFromAccessList(rows.Text(i, 1), role, plain) == 0) {
                    continue;
                }
                std::string encrypted = zyr::cipher::Encrypt(plain);
                if (!c.Run(table.update,
                           Params().Add(std::move(plain)).Add(std::move(encrypted)).Add(rows.Int(i, 0)))) {
                    return false;
                }
            }
        }
        return true;
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

    // Finds the parent by its identity and hands its id to the insert.
    template <class Insert>
    StoreResult AddUnder(const char* parentSql, const std::string& parentDn, Insert&& insert)
    {
        return Write([&](Connection& c) {
            int64_t parentId = IdOf(c, parentSql, parentDn);
            if (parentId <= 0) {
                return parentId == 0 ? StoreResult::ParentNotFound : StoreResult::Failed;
            }
            return insert(c, parentId);
        });
    }

    StoreResult DeleteByDn(const char* sql, const std::string& dn, const AuditRecord& audit)
    {
        return Write([&](Connection& c) {
            Result r;
            if (!c.Run(sql, Params().Add(dn), &r)) {
                return StoreResult::Failed;
            }
            if (r.Changed() == 0) {
                return StoreResult::NotFound;
            }
            return WriteAudit(c, audit) ? StoreResult::Ok : StoreResult::Failed;
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
