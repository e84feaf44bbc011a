// SQLite backend: one database file in WAL mode with foreign keys on. One
// connection writes (changes are serialised), a small pool of connections
// reads. Every statement binds its values; no text is ever spliced into SQL.
#include "server/storage/SecurityStore.h"

#include "cache/TextCipher.h"
#include "server/storage/PlainLists.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace zyr::server {

namespace {

// The numbered schema migrations, applied in order, each in its own
// transaction, and recorded in schema_version.
const char* const kMigrations[] = {
    // 1: the security database, the log with its count buckets, the audit trail.
    R"sql(
CREATE TABLE appl(
  id INTEGER PRIMARY KEY,
  dn TEXT NOT NULL UNIQUE,
  name TEXT NOT NULL COLLATE NOCASE UNIQUE,
  description TEXT NOT NULL DEFAULT '',
  perm_plain TEXT NOT NULL DEFAULT '',
  perm_enc TEXT NOT NULL DEFAULT '',
  acl_plain TEXT NOT NULL DEFAULT '',
  acl_enc TEXT NOT NULL DEFAULT '');
CREATE TABLE secgroup(
  id INTEGER PRIMARY KEY,
  dn TEXT NOT NULL UNIQUE,
  appl_id INTEGER NOT NULL REFERENCES appl(id) ON DELETE CASCADE,
  name TEXT NOT NULL COLLATE NOCASE,
  description TEXT NOT NULL DEFAULT '',
  acl_plain TEXT NOT NULL DEFAULT '',
  acl_enc TEXT NOT NULL DEFAULT '',
  UNIQUE(appl_id, name));
CREATE TABLE secobj(
  id INTEGER PRIMARY KEY,
  dn TEXT NOT NULL UNIQUE,
  group_id INTEGER NOT NULL REFERENCES secgroup(id) ON DELETE CASCADE,
  name TEXT NOT NULL COLLATE NOCASE,
  description TEXT NOT NULL DEFAULT '',
  acl_plain TEXT NOT NULL DEFAULT '',
  acl_enc TEXT NOT NULL DEFAULT '',
  use_q INTEGER NOT NULL DEFAULT 0,
  q_name TEXT NOT NULL DEFAULT '',
  q_type TEXT NOT NULL DEFAULT '',
  q_oper TEXT NOT NULL DEFAULT '',
  q_value TEXT NOT NULL DEFAULT '',
  UNIQUE(group_id, name));
CREATE TABLE role(
  id INTEGER PRIMARY KEY,
  dn TEXT NOT NULL UNIQUE,
  name TEXT NOT NULL COLLATE NOCASE UNIQUE,
  description TEXT NOT NULL DEFAULT '');
CREATE TABLE role_member(
  role_id INTEGER NOT NULL REFERENCES role(id) ON DELETE CASCADE,
  kind INTEGER NOT NULL,
  position INTEGER NOT NULL,
  name TEXT NOT NULL,
  PRIMARY KEY(role_id, kind, position)) WITHOUT ROWID;
CREATE TABLE log(
  id INTEGER PRIMARY KEY,
  time TEXT NOT NULL,
  user TEXT NOT NULL DEFAULT '',
  action TEXT NOT NULL DEFAULT '',
  status TEXT NOT NULL DEFAULT '',
  computer TEXT NOT NULL DEFAULT '');
CREATE INDEX log_time ON log(time);
CREATE TABLE log_day(key TEXT PRIMARY KEY, n INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE log_hour(key TEXT PRIMARY KEY, n INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE log_minute(key TEXT PRIMARY KEY, n INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE audit(
  id INTEGER PRIMARY KEY,
  time TEXT NOT NULL,
  user TEXT NOT NULL,
  computer TEXT NOT NULL,
  object TEXT NOT NULL,
  operation TEXT NOT NULL,
  identity TEXT NOT NULL,
  name TEXT NOT NULL,
  old_value TEXT NOT NULL,
  new_value TEXT NOT NULL);
CREATE TRIGGER audit_kept_on_update BEFORE UPDATE ON audit
  BEGIN SELECT RAISE(ABORT, 'audit records are never changed'); END;
CREATE TRIGGER audit_kept_on_delete BEFORE DELETE ON audit
  BEGIN SELECT RAISE(ABORT, 'audit records are never removed'); END;
CREATE TABLE setting(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
)sql",
    // 2: the audit trail by time.
    R"sql(
CREATE INDEX audit_time ON audit(time);
)sql",
};

constexpr int kMemberUser = 0;
constexpr int kMemberGroup = 1;
constexpr size_t kReaders = 4;

class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& Bind(int index, const std::string& text)
    {
        if (stmt_) {
            sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        return *this;
    }
    Statement& Bind(int index, int64_t value)
    {
        if (stmt_) {
            sqlite3_bind_int64(stmt_, index, value);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    bool Run() { return Step() == SQLITE_DONE; }
    void Reset()
    {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    std::string Text(int column) const
    {
        const unsigned char* p = sqlite3_column_text(stmt_, column);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// The writer's prepared statements, kept for the life of the connection and
// used only under the write lock. They are found by the address of their
// text, which is always a literal: no string is made or hashed per use.
class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : db_(db) {}
    Statement& operator()(const char* sql)
    {
        auto& slot = statements_[sql];
        if (!slot) {
            slot = std::make_unique<Statement>(db_, sql);
        }
        slot->Reset();
        return *slot;
    }
    sqlite3* db() const { return db_; }
    void ResetAll()
    {
        for (auto& [sql, statement] : statements_) {
            statement->Reset();
        }
    }

private:
    sqlite3* db_;
    std::unordered_map<const char*, std::unique_ptr<Statement>> statements_;
};

bool Exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3* OpenConnection(const std::string& path, bool create, std::string& reason)
{
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        reason = db ? sqlite3_errmsg(db) : "cannot open the database";
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_extended_result_codes(db, 1);
    if (!Exec(db, "PRAGMA foreign_keys=ON;") || !Exec(db, "PRAGMA synchronous=FULL;")) {
        reason = sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

// A transaction on the writer connection; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) { active_ = Exec(db_, "BEGIN IMMEDIATE;"); }
    ~Transaction()
    {
        if (active_) {
            Exec(db_, "ROLLBACK;");
        }
    }
    bool active() const { return active_; }
    bool Commit()
    {
        if (!active_) {
            return false;
        }
        if (!Exec(db_, "COMMIT;")) {
            return false; // the destructor rolls back
        }
        active_ = false;
        return true;
    }
    void Rollback()
    {
        if (active_) {
            Exec(db_, "ROLLBACK;");
            active_ = false;
        }
    }

private:
    sqlite3* db_;
    bool active_ = false;
};

bool WriteAudit(StatementCache& db, const AuditRecord& a)
{
    Statement& s =
        db("INSERT INTO audit(time,user,computer,object,operation,identity,name,old_value,new_value)"
           " VALUES(?,?,?,?,?,?,?,?,?)");
    s.Bind(1, a.time).Bind(2, a.user).Bind(3, a.computer).Bind(4, a.object).Bind(5, a.operation);
    s.Bind(6, a.identity).Bind(7, a.name).Bind(8, a.oldValue).Bind(9, a.newValue);
    return s.Run();
}

// Id of the row whose dn is given, 0 when there is none, -1 on failure.
int64_t IdOf(StatementCache& db, const char* sql, const std::string& key)
{
    Statement& s = db(sql);
    s.Bind(1, key);
    int rc = s.Step();
    int64_t id = rc == SQLITE_ROW ? s.Int(0) : (rc == SQLITE_DONE ? 0 : -1);
    s.Reset();
    return id;
}

struct BucketTable {
    const char* upsert;
    const char* prune;
    size_t keyLength;
};

const BucketTable kBuckets[] = {
    {"INSERT INTO log_day(key,n) VALUES(?1,?2) ON CONFLICT(key) DO UPDATE SET n=n+?2",
     "DELETE FROM log_day WHERE key=?1 AND n<=0", 10},
    {"INSERT INTO log_hour(key,n) VALUES(?1,?2) ON CONFLICT(key) DO UPDATE SET n=n+?2",
     "DELETE FROM log_hour WHERE key=?1 AND n<=0", 13},
    {"INSERT INTO log_minute(key,n) VALUES(?1,?2) ON CONFLICT(key) DO UPDATE SET n=n+?2",
     "DELETE FROM log_minute WHERE key=?1 AND n<=0", 16},
};

// Keeps the day, hour and minute counts of the log in step with its entries.
bool CountLog(StatementCache& db, const std::string& time, int64_t delta)
{
    if (time.size() < 16) {
        return false;
    }
    for (const auto& table : kBuckets) {
        std::string key = time.substr(0, table.keyLength);
        Statement& s = db(table.upsert);
        s.Bind(1, key).Bind(2, delta);
        if (!s.Run()) {
            return false;
        }
        if (delta < 0) {
            Statement& p = db(table.prune);
            p.Bind(1, key);
            if (!p.Run()) {
                return false;
            }
        }
    }
    return true;
}

bool InsertLog(StatementCache& db, const LogEntry& e)
{
    Statement& s = db("INSERT INTO log(time,user,action,status,computer) VALUES(?,?,?,?,?)");
    s.Bind(1, e.time).Bind(2, e.user).Bind(3, e.action).Bind(4, e.status).Bind(5, e.computer);
    return s.Run() && CountLog(db, e.time, 1);
}

bool InsertMembers(StatementCache& db, int64_t roleId, const RoleRecord& role)
{
    Statement& s = db("INSERT INTO role_member(role_id,kind,position,name) VALUES(?,?,?,?)");
    auto put = [&](int kind, const std::vector<std::string>& names) {
        for (size_t i = 0; i < names.size(); ++i) {
            s.Reset();
            s.Bind(1, roleId).Bind(2, static_cast<int64_t>(kind)).Bind(3, static_cast<int64_t>(i));
            s.Bind(4, names[i]);
            if (!s.Run()) {
                return false;
            }
        }
        return true;
    };
    return put(kMemberUser, role.memberUsers) && put(kMemberGroup, role.memberGroups);
}

class SqliteStore final : public SecurityStore {
public:
    SqliteStore(std::string path, sqlite3* writer) : cache_(writer), path_(std::move(path)), writer_(writer)
    {
    }
    ~SqliteStore() override
    {
        {
            std::lock_guard lock(writeMutex_);
            EndBatch(true);
        }
        cache_ = StatementCache(nullptr);
        for (sqlite3* db : readers_) {
            sqlite3_close(db);
        }
        sqlite3_close(writer_);
    }

    // ---- applications, groups, objects ----

    bool ListApplications(std::vector<ApplicationRecord>& out) override
    {
        out.clear();
        Reader reader(*this);
        sqlite3* db = reader.db();
        if (!db || !Exec(db, "BEGIN;")) {
            return false;
        }
        bool ok = ReadApplications(db, out);
        Exec(db, ok ? "COMMIT;" : "ROLLBACK;");
        if (!ok) {
            out.clear();
        }
        return ok;
    }

    StoreResult AddApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            if (StoreResult r = CheckApplicationFree(a, 0); r != StoreResult::Ok) {
                return r;
            }
            return WithAudit(InsertApplication(a) >= 0, audit);
        });
    }

    StoreResult UpdateApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            int64_t id = IdOf(cache_, "SELECT id FROM appl WHERE dn=?", a.dn);
            if (id <= 0) {
                return id == 0 ? StoreResult::NotFound : StoreResult::Failed;
            }
            if (StoreResult r = CheckApplicationFree(a, id); r != StoreResult::Ok) {
                return r;
            }
            Statement& s = cache_("UPDATE appl SET name=?,description=?,perm_plain=?,perm_enc=?,acl_plain=?,"
                                  "acl_enc=? WHERE id=?");
            s.Bind(1, a.name)
                .Bind(2, a.description)
                .Bind(3, a.permissionsPlain)
                .Bind(4, a.permissionsEncrypted);
            s.Bind(5, a.aclPlain).Bind(6, a.aclEncrypted).Bind(7, id);
            return WithAudit(s.Run(), audit);
        });
    }

    StoreResult DeleteApplication(const std::string& dn, const AuditRecord& audit) override
    {
        return DeleteByDn("DELETE FROM appl WHERE dn=?", dn, audit);
    }

    StoreResult ImportApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            if (StoreResult r = CheckApplicationFree(a, 0); r != StoreResult::Ok) {
                return r;
            }
            for (const auto& g : a.groups) {
                if (IdOf(cache_, "SELECT id FROM secgroup WHERE dn=?", g.dn) != 0) {
                    return StoreResult::DuplicateIdentity;
                }
                for (const auto& o : g.objects) {
                    if (IdOf(cache_, "SELECT id FROM secobj WHERE dn=?", o.dn) != 0) {
                        return StoreResult::DuplicateIdentity;
                    }
                }
            }
            return WithAudit(InsertTree(a), audit);
        });
    }

    StoreResult AddGroup(const GroupRecord& g, const AuditRecord& audit) override
    {
        return AddUnder("SELECT id FROM appl WHERE dn=?", g.applDn, [&](int64_t applId) -> StoreResult {
            if (StoreResult r = CheckGroupFree(g, applId, 0); r != StoreResult::Ok) {
                return r;
            }
            return WithAudit(InsertGroup(applId, g) >= 0, audit);
        });
    }

    StoreResult UpdateGroup(const GroupRecord& g, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            int64_t id = 0;
            int64_t applId = 0;
            if (StoreResult r = FindInScope("SELECT id, appl_id FROM secgroup WHERE dn=?", g.dn, id, applId);
                r != StoreResult::Ok) {
                return r;
            }
            if (StoreResult r = CheckGroupFree(g, applId, id); r != StoreResult::Ok) {
                return r;
            }
            Statement& s =
                cache_("UPDATE secgroup SET name=?,description=?,acl_plain=?,acl_enc=? WHERE id=?");
            s.Bind(1, g.name).Bind(2, g.description).Bind(3, g.aclPlain).Bind(4, g.aclEncrypted).Bind(5, id);
            return WithAudit(s.Run(), audit);
        });
    }

    StoreResult DeleteGroup(const std::string& dn, const AuditRecord& audit) override
    {
        return DeleteByDn("DELETE FROM secgroup WHERE dn=?", dn, audit);
    }

    bool FindGroup(const std::string& dn, GroupRecord& out) override
    {
        Reader reader(*this);
        if (!reader.db()) {
            return false;
        }
        Statement s(reader.db(), "SELECT g.dn, a.dn, g.name, g.description, g.acl_plain, g.acl_enc"
                                 " FROM secgroup g JOIN appl a ON a.id=g.appl_id WHERE g.dn=?");
        s.Bind(1, dn);
        if (s.Step() != SQLITE_ROW) {
            return false;
        }
        out = GroupRecord{s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Text(5), {}};
        return true;
    }

    StoreResult AddObject(const ObjectRecord& o, const AuditRecord& audit) override
    {
        return AddUnder("SELECT id FROM secgroup WHERE dn=?", o.groupDn, [&](int64_t groupId) -> StoreResult {
            if (StoreResult r = CheckObjectFree(o, groupId, 0); r != StoreResult::Ok) {
                return r;
            }
            return WithAudit(InsertObject(groupId, o), audit);
        });
    }

    StoreResult UpdateObject(const ObjectRecord& o, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            int64_t id = 0;
            int64_t groupId = 0;
            if (StoreResult r = FindInScope("SELECT id, group_id FROM secobj WHERE dn=?", o.dn, id, groupId);
                r != StoreResult::Ok) {
                return r;
            }
            if (StoreResult r = CheckObjectFree(o, groupId, id); r != StoreResult::Ok) {
                return r;
            }
            Statement& s =
                cache_("UPDATE secobj SET name=?,description=?,acl_plain=?,acl_enc=?,use_q=?,q_name=?,"
                       "q_type=?,q_oper=?,q_value=? WHERE id=?");
            s.Bind(1, o.name).Bind(2, o.description).Bind(3, o.aclPlain).Bind(4, o.aclEncrypted);
            s.Bind(5, static_cast<int64_t>(o.useQualifier)).Bind(6, o.qualifierName).Bind(7, o.qualifierType);
            s.Bind(8, o.qualifierOperator).Bind(9, o.qualifierValue).Bind(10, id);
            return WithAudit(s.Run(), audit);
        });
    }

    StoreResult DeleteObject(const std::string& dn, const AuditRecord& audit) override
    {
        return DeleteByDn("DELETE FROM secobj WHERE dn=?", dn, audit);
    }

    bool FindObject(const std::string& dn, ObjectRecord& out) override
    {
        Reader reader(*this);
        if (!reader.db()) {
            return false;
        }
        Statement s(reader.db(), "SELECT o.dn, g.dn, o.name, o.description, o.acl_plain, o.acl_enc, o.use_q,"
                                 " o.q_name, o.q_type, o.q_oper, o.q_value"
                                 " FROM secobj o JOIN secgroup g ON g.id=o.group_id WHERE o.dn=?");
        s.Bind(1, dn);
        if (s.Step() != SQLITE_ROW) {
            return false;
        }
        out = ObjectRecord{
            s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Text(5), static_cast<int32_t>(s.Int(6)),
            s.Text(7), s.Text(8), s.Text(9), s.Text(10)};
        return true;
    }

    // ---- roles ----

    bool ListRoles(std::vector<RoleRecord>& out) override
    {
        out.clear();
        Reader reader(*this);
        sqlite3* db = reader.db();
        if (!db || !Exec(db, "BEGIN;")) {
            return false;
        }
        bool ok = ReadRoles(db, out);
        Exec(db, ok ? "COMMIT;" : "ROLLBACK;");
        if (!ok) {
            out.clear();
        }
        return ok;
    }

    StoreResult AddRole(const RoleRecord& role, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            if (StoreResult r = CheckRoleFree(role, 0); r != StoreResult::Ok) {
                return r;
            }
            if (InsertRole(role) < 0 || !WriteAudit(cache_, audit)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
    }

    StoreResult UpdateRole(const RoleRecord& role, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            int64_t id = IdOf(cache_, "SELECT id FROM role WHERE dn=?", role.dn);
            if (id <= 0) {
                return id == 0 ? StoreResult::NotFound : StoreResult::Failed;
            }
            if (StoreResult r = CheckRoleFree(role, id); r != StoreResult::Ok) {
                return r;
            }
            Statement& s = cache_("UPDATE role SET name=?,description=? WHERE id=?");
            s.Bind(1, role.name).Bind(2, role.description).Bind(3, id);
            Statement& clear = cache_("DELETE FROM role_member WHERE role_id=?");
            clear.Bind(1, id);
            if (!s.Run() || !clear.Run() || !InsertMembers(cache_, id, role) || !WriteAudit(cache_, audit)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
    }

    StoreResult DeleteRole(const std::string& dn, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            Statement& find = cache_("SELECT name FROM role WHERE dn=?");
            find.Bind(1, dn);
            int rc = find.Step();
            if (rc != SQLITE_ROW) {
                return rc == SQLITE_DONE ? StoreResult::NotFound : StoreResult::Failed;
            }
            const std::string name = find.Text(0);
            find.Reset();
            Statement& s = cache_("DELETE FROM role WHERE dn=?");
            s.Bind(1, dn);
            if (!s.Run() || !RemoveRoleFromLists(name) || !WriteAudit(cache_, audit)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
    }

    // ---- log ----

    StoreResult AddLog(const LogEntry& entry) override
    {
        return Write([&]() -> StoreResult {
            if (!InsertLog(cache_, entry)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
    }

    bool GetLogPage(const TimeRange& range, int64_t page, std::vector<LogEntry>& out) override
    {
        out.clear();
        if (page < 0) {
            return false;
        }
        Reader reader(*this);
        sqlite3* db = reader.db();
        if (!db || !Exec(db, "BEGIN;")) {
            return false;
        }
        bool ok = ReadLogPage(db, range, page, out);
        Exec(db, ok ? "COMMIT;" : "ROLLBACK;");
        if (!ok) {
            out.clear();
        }
        return ok;
    }

    StoreResult DeleteLogs(const TimeRange& range, const AuditRecord& audit, int64_t& removed) override
    {
        removed = 0;
        StoreResult result = Write([&]() -> StoreResult {
            std::string from = range.from;
            std::string to = range.to.empty() ? std::string("~") : range.to;
            std::string fromDay = from.substr(0, 10);
            std::string toDay = range.to.empty() ? std::string("~") : range.to.substr(0, 10);
            Statement& s = cache_("DELETE FROM log WHERE time>=? AND time<?");
            s.Bind(1, from).Bind(2, to);
            if (!s.Run()) {
                return StoreResult::Failed;
            }
            removed = sqlite3_changes64(writer_);
            for (const char* sql :
                 {"DELETE FROM log_day WHERE key>=? AND key<?", "DELETE FROM log_hour WHERE key>=? AND key<?",
                  "DELETE FROM log_minute WHERE key>=? AND key<?"}) {
                Statement& b = cache_(sql);
                b.Bind(1, fromDay).Bind(2, toDay);
                if (!b.Run()) {
                    return StoreResult::Failed;
                }
            }
            if (!WriteAudit(cache_, audit)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
        if (result != StoreResult::Ok) {
            removed = 0;
        }
        return result;
    }

    StoreResult DeleteLogsAt(const std::string& second, const AuditRecord& audit, int64_t& removed) override
    {
        removed = 0;
        StoreResult result = Write([&]() -> StoreResult {
            Statement& s = cache_("DELETE FROM log WHERE time=?");
            s.Bind(1, second);
            if (!s.Run()) {
                return StoreResult::Failed;
            }
            removed = sqlite3_changes64(writer_);
            if (removed > 0 && !CountLog(cache_, second, -removed)) {
                return StoreResult::Failed;
            }
            if (!WriteAudit(cache_, audit)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
        if (result != StoreResult::Ok) {
            removed = 0;
        }
        return result;
    }

    // ---- audit and flags ----

    bool GetAuditPage(int64_t page, std::vector<AuditRecord>& out) override
    {
        out.clear();
        if (page < 0) {
            return false;
        }
        Reader reader(*this);
        if (!reader.db()) {
            return false;
        }
        // Audit records are never removed, so their ids are dense and a page
        // is a range of ids.
        Statement s(reader.db(),
                    "SELECT time,user,computer,object,operation,identity,name,old_value,new_value"
                    " FROM audit WHERE id <= (SELECT IFNULL(MAX(id),0) FROM audit) - ?"
                    " ORDER BY id DESC LIMIT ?");
        s.Bind(1, page * kPageSize).Bind(2, static_cast<int64_t>(kPageSize));
        int rc;
        while ((rc = s.Step()) == SQLITE_ROW) {
            out.push_back(AuditRecord{s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Text(5),
                                      s.Text(6), s.Text(7), s.Text(8)});
        }
        return rc == SQLITE_DONE;
    }

    StoreResult AppendAudit(const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            if (!WriteAudit(cache_, audit)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
    }

    bool GetComplianceFlag(bool& on) override
    {
        on = false;
        Reader reader(*this);
        if (!reader.db()) {
            return false;
        }
        Statement s(reader.db(), "SELECT value FROM setting WHERE key='compliance'");
        int rc = s.Step();
        if (rc == SQLITE_ROW) {
            on = s.Text(0) == "on";
            return true;
        }
        return rc == SQLITE_DONE;
    }

    StoreResult SetComplianceOn(const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            if (!Exec(writer_, "INSERT INTO setting(key,value) VALUES('compliance','on')"
                               " ON CONFLICT(key) DO UPDATE SET value='on';") ||
                !WriteAudit(cache_, audit)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
    }

    bool IsEmpty(bool& empty) override
    {
        Reader reader(*this);
        if (!reader.db()) {
            return false;
        }
        Statement s(reader.db(), "SELECT EXISTS(SELECT 1 FROM appl) OR EXISTS(SELECT 1 FROM role)"
                                 " OR EXISTS(SELECT 1 FROM log)");
        if (s.Step() != SQLITE_ROW) {
            return false;
        }
        empty = s.Int(0) == 0;
        return true;
    }

    std::unique_ptr<BulkWriter> BeginBulk() override;

    bool OpenReaders(std::string& reason)
    {
        for (size_t i = 0; i < kReaders; ++i) {
            sqlite3* db = OpenConnection(path_, false, reason);
            if (!db) {
                return false;
            }
            Exec(db, "PRAGMA query_only=ON;");
            readers_.push_back(db);
            idle_.push_back(db);
        }
        return true;
    }

    // ---- group commit ----
    //
    // Every change runs in a savepoint of a transaction that the changes of
    // several requests share. The transaction commits when no other change
    // is waiting for the writer (or when it is full or old), and each change
    // is answered only once that commit is on the disk; a refused or failed
    // change is rolled back to its savepoint alone and answered at once. One
    // sync of the disk so serves every change that arrived while the
    // previous one ran, and an acknowledged change is as durable as before.

    struct Batch {
        bool ended = false;
        bool committed = false;
    };
    static constexpr int kMaxBatch = 64;
    static constexpr std::chrono::milliseconds kMaxBatchAge{5};

    template <typename Change>
    StoreResult Write(Change&& change)
    {
        waiting_.fetch_add(1);
        std::unique_lock lock(writeMutex_);
        waiting_.fetch_sub(1);
        if (batch_ && sqlite3_get_autocommit(writer_) != 0) {
            EndBatch(false); // the engine rolled the shared transaction back
        }
        if (!batch_) {
            if (!Exec(writer_, "BEGIN IMMEDIATE;")) {
                return StoreResult::Failed;
            }
            batch_ = std::make_shared<Batch>();
            batchChanges_ = 0;
            batchStart_ = std::chrono::steady_clock::now();
        }
        std::shared_ptr<Batch> mine = batch_;
        StoreResult result = StoreResult::Failed;
        if (Exec(writer_, "SAVEPOINT change;")) {
            result = change();
            cache_.ResetAll();
            if (sqlite3_get_autocommit(writer_) == 0) {
                if (result != StoreResult::Ok) {
                    Exec(writer_, "ROLLBACK TO change;");
                }
                Exec(writer_, "RELEASE change;");
            }
        }
        if (sqlite3_get_autocommit(writer_) != 0) {
            EndBatch(false); // lost with the changes before this one
        } else {
            if (result == StoreResult::Ok) {
                ++batchChanges_;
            }
            if (waiting_.load() == 0 || batchChanges_ >= kMaxBatch ||
                std::chrono::steady_clock::now() - batchStart_ >= kMaxBatchAge) {
                EndBatch(true);
            }
        }
        if (result != StoreResult::Ok) {
            return result;
        }
        batchEnded_.wait(lock, [&] { return mine->ended; });
        return mine->committed ? StoreResult::Ok : StoreResult::Failed;
    }

    // Commits the open batch (rolls it back when it holds no change or is
    // not to be kept) and wakes the changes that wait for it. Called under
    // the write lock.
    void EndBatch(bool commit)
    {
        if (!batch_) {
            return;
        }
        cache_.ResetAll();
        bool committed = false;
        if (sqlite3_get_autocommit(writer_) == 0) {
            if (commit && batchChanges_ > 0) {
                committed = Exec(writer_, "COMMIT;");
            }
            if (!committed && sqlite3_get_autocommit(writer_) == 0) {
                Exec(writer_, "ROLLBACK;");
            }
        }
        batch_->ended = true;
        batch_->committed = committed;
        batch_.reset();
        batchEnded_.notify_all();
    }

    // ---- shared by the bulk writer ----

    // The writer connection for a bulk load, once the open batch (if any) is
    // committed. Called under the write lock.
    sqlite3* BulkConnection()
    {
        EndBatch(true);
        return writer_;
    }

    std::mutex writeMutex_;
    std::shared_ptr<Batch> batch_; // the open shared transaction, if any
    int batchChanges_ = 0;
    std::chrono::steady_clock::time_point batchStart_;
    std::atomic<int> waiting_{0}; // changes waiting for the write lock
    std::condition_variable batchEnded_;
    sqlite3* writer() { return writer_; }
    StatementCache& cache() { return cache_; }
    StatementCache cache_;

    int64_t InsertApplication(const ApplicationRecord& a)
    {
        Statement& s = cache_("INSERT INTO appl(dn,name,description,perm_plain,perm_enc,acl_plain,acl_enc)"
                              " VALUES(?,?,?,?,?,?,?)");
        s.Bind(1, a.dn).Bind(2, a.name).Bind(3, a.description).Bind(4, a.permissionsPlain);
        s.Bind(5, a.permissionsEncrypted).Bind(6, a.aclPlain).Bind(7, a.aclEncrypted);
        return s.Run() ? sqlite3_last_insert_rowid(writer_) : -1;
    }

    int64_t InsertGroup(int64_t applId, const GroupRecord& g)
    {
        Statement& s = cache_("INSERT INTO secgroup(dn,appl_id,name,description,acl_plain,acl_enc)"
                              " VALUES(?,?,?,?,?,?)");
        s.Bind(1, g.dn).Bind(2, applId).Bind(3, g.name).Bind(4, g.description).Bind(5, g.aclPlain);
        s.Bind(6, g.aclEncrypted);
        return s.Run() ? sqlite3_last_insert_rowid(writer_) : -1;
    }

    bool InsertObject(int64_t groupId, const ObjectRecord& o)
    {
        Statement& s =
            cache_("INSERT INTO secobj(dn,group_id,name,description,acl_plain,acl_enc,use_q,q_name,"
                   "q_type,q_oper,q_value) VALUES(?,?,?,?,?,?,?,?,?,?,?)");
        s.Bind(1, o.dn).Bind(2, groupId).Bind(3, o.name).Bind(4, o.description).Bind(5, o.aclPlain);
        s.Bind(6, o.aclEncrypted).Bind(7, static_cast<int64_t>(o.useQualifier)).Bind(8, o.qualifierName);
        s.Bind(9, o.qualifierType).Bind(10, o.qualifierOperator).Bind(11, o.qualifierValue);
        return s.Run();
    }

    bool InsertTree(const ApplicationRecord& a)
    {
        int64_t applId = InsertApplication(a);
        if (applId < 0) {
            return false;
        }
        for (const auto& g : a.groups) {
            int64_t groupId = InsertGroup(applId, g);
            if (groupId < 0) {
                return false;
            }
            for (const auto& o : g.objects) {
                if (!InsertObject(groupId, o)) {
                    return false;
                }
            }
        }
        return true;
    }

    int64_t InsertRole(const RoleRecord& role)
    {
        Statement& s = cache_("INSERT INTO role(dn,name,description) VALUES(?,?,?)");
        s.Bind(1, role.dn).Bind(2, role.name).Bind(3, role.description);
        if (!s.Run()) {
            return -1;
        }
        int64_t id = sqlite3_last_insert_rowid(writer_);
        return InsertMembers(cache_, id, role) ? id : -1;
    }

private:
    // A reader connection borrowed from the pool for one read.
    class Reader {
    public:
        explicit Reader(SqliteStore& store) : store_(store)
        {
            std::unique_lock lock(store_.poolMutex_);
            store_.poolReady_.wait(lock, [&] { return !store_.idle_.empty(); });
            db_ = store_.idle_.back();
            store_.idle_.pop_back();
        }
        ~Reader()
        {
            {
                std::lock_guard lock(store_.poolMutex_);
                store_.idle_.push_back(db_);
            }
            store_.poolReady_.notify_one();
        }
        sqlite3* db() const { return db_; }

    private:
        SqliteStore& store_;
        sqlite3* db_ = nullptr;
    };

    // A deleted role leaves no entry behind in any access-control list: a
    // role made later under the same name must not find its grants waiting.
    // The lower() filter only narrows the rows read (it folds ASCII case as
    // the role names compare); the lists themselves decide.
    bool RemoveRoleFromLists(const std::string& role)
    {
        struct Table {
            const char* select;
            const char* update;
        };
        static const Table kTables[] = {
            {"SELECT id,acl_plain FROM appl WHERE instr(lower(acl_plain),lower(?))>0",
             "UPDATE appl SET acl_plain=?,acl_enc=? WHERE id=?"},
            {"SELECT id,acl_plain FROM secgroup WHERE instr(lower(acl_plain),lower(?))>0",
             "UPDATE secgroup SET acl_plain=?,acl_enc=? WHERE id=?"},
            {"SELECT id,acl_plain FROM secobj WHERE instr(lower(acl_plain),lower(?))>0",
             "UPDATE secobj SET acl_plain=?,acl_enc=? WHERE id=?"},
        };
        for (const Table& table : kTables) {
            std::vector<std::pair<int64_t, std::string>> changed;
            Statement& s = cache_(table.select);
            s.Bind(1, role);
            int rc;
            while ((rc = s.Step()) == SQLITE_ROW) {
                std::string plain;
                if (RemoveRoleFromAccessList(s.Text(1), role, plain) > 0) {
                    changed.emplace_back(s.Int(0), std::move(plain));
                }
            }
            s.Reset();
            if (rc != SQLITE_DONE) {
                return false;
            }
            for (const auto& [id, plain] : changed) {
                Statement& u = cache_(table.update);
                u.Bind(1, plain).Bind(2, zyr::cipher::Encrypt(plain)).Bind(3, id);
                if (!u.Run()) {
                    return false;
                }
            }
        }
        return true;
    }

    // The audit record follows a change that went through; either failing fails the whole.
    StoreResult WithAudit(bool changed, const AuditRecord& audit)
    {
        return changed && WriteAudit(cache_, audit) ? StoreResult::Ok : StoreResult::Failed;
    }

    // Finds the parent by its identity and hands its id to the insert.
    template <typename Insert>
    StoreResult AddUnder(const char* parentSql, const std::string& parentDn, Insert&& insert)
    {
        return Write([&]() -> StoreResult {
            int64_t parentId = IdOf(cache_, parentSql, parentDn);
            if (parentId <= 0) {
                return parentId == 0 ? StoreResult::ParentNotFound : StoreResult::Failed;
            }
            return insert(parentId);
        });
    }

    // The id of the record with the identity and of the parent whose names it shares.
    StoreResult FindInScope(const char* sql, const std::string& dn, int64_t& id, int64_t& scope)
    {
        Statement& find = cache_(sql);
        find.Bind(1, dn);
        int rc = find.Step();
        if (rc != SQLITE_ROW) {
            return rc == SQLITE_DONE ? StoreResult::NotFound : StoreResult::Failed;
        }
        id = find.Int(0);
        scope = find.Int(1);
        return StoreResult::Ok;
    }

    StoreResult DeleteByDn(const char* sql, const std::string& dn, const AuditRecord& audit)
    {
        return Write([&]() -> StoreResult {
            Statement& s = cache_(sql);
            s.Bind(1, dn);
            if (!s.Run()) {
                return StoreResult::Failed;
            }
            if (sqlite3_changes(writer_) == 0) {
                return StoreResult::NotFound;
            }
            if (!WriteAudit(cache_, audit)) {
                return StoreResult::Failed;
            }
            return StoreResult::Ok;
        });
    }

    StoreResult CheckFree(const char* dnSql, const std::string& dn, const char* nameSql,
                          const std::string& name, int64_t scope, int64_t self)
    {
        if (self == 0) {
            int64_t id = IdOf(cache_, dnSql, dn);
            if (id != 0) {
                return id < 0 ? StoreResult::Failed : StoreResult::DuplicateIdentity;
            }
        }
        Statement& s = cache_(nameSql);
        s.Bind(1, name).Bind(2, scope).Bind(3, self);
        int rc = s.Step();
        if (rc == SQLITE_ROW) {
            return StoreResult::DuplicateName;
        }
        return rc == SQLITE_DONE ? StoreResult::Ok : StoreResult::Failed;
    }

    StoreResult CheckApplicationFree(const ApplicationRecord& a, int64_t self)
    {
        return CheckFree("SELECT id FROM appl WHERE dn=?", a.dn,
                         "SELECT id FROM appl WHERE name=?1 AND ?2=?2 AND id<>?3", a.name, 0, self);
    }
    StoreResult CheckGroupFree(const GroupRecord& g, int64_t applId, int64_t self)
    {
        return CheckFree("SELECT id FROM secgroup WHERE dn=?", g.dn,
                         "SELECT id FROM secgroup WHERE name=?1 AND appl_id=?2 AND id<>?3", g.name, applId,
                         self);
    }
    StoreResult CheckObjectFree(const ObjectRecord& o, int64_t groupId, int64_t self)
    {
        return CheckFree("SELECT id FROM secobj WHERE dn=?", o.dn,
                         "SELECT id FROM secobj WHERE name=?1 AND group_id=?2 AND id<>?3", o.name, groupId,
                         self);
    }
    StoreResult CheckRoleFree(const RoleRecord& r, int64_t self)
    {
        return CheckFree("SELECT id FROM role WHERE dn=?", r.dn,
                         "SELECT id FROM role WHERE name=?1 AND ?2=?2 AND id<>?3", r.name, 0, self);
    }

    static bool ReadApplications(sqlite3* db, std::vector<ApplicationRecord>& out)
    {
        std::unordered_map<int64_t, size_t> applIndex;
        std::unordered_map<int64_t, std::pair<size_t, size_t>> groupIndex;
        Statement a(
            db, "SELECT id,dn,name,description,perm_plain,perm_enc,acl_plain,acl_enc FROM appl ORDER BY id");
        int rc;
        while ((rc = a.Step()) == SQLITE_ROW) {
            applIndex[a.Int(0)] = out.size();
            out.push_back(ApplicationRecord{
                a.Text(1), a.Text(2), a.Text(3), a.Text(4), a.Text(5), a.Text(6), a.Text(7), {}});
        }
        if (rc != SQLITE_DONE) {
            return false;
        }
        Statement g(db, "SELECT id,appl_id,dn,name,description,acl_plain,acl_enc FROM secgroup ORDER BY id");
        while ((rc = g.Step()) == SQLITE_ROW) {
            auto it = applIndex.find(g.Int(1));
            if (it == applIndex.end()) {
                continue;
            }
            auto& groups = out[it->second].groups;
            groupIndex[g.Int(0)] = {it->second, groups.size()};
            groups.push_back(
                GroupRecord{g.Text(2), out[it->second].dn, g.Text(3), g.Text(4), g.Text(5), g.Text(6), {}});
        }
        if (rc != SQLITE_DONE) {
            return false;
        }
        // Objects are many: only what the list reply carries is read.
        Statement o(db, "SELECT group_id,dn,name,description,acl_enc FROM secobj ORDER BY id");
        while ((rc = o.Step()) == SQLITE_ROW) {
            auto it = groupIndex.find(o.Int(0));
            if (it == groupIndex.end()) {
                continue;
            }
            auto& group = out[it->second.first].groups[it->second.second];
            ObjectRecord& object = group.objects.emplace_back();
            object.dn = o.Text(1);
            object.groupDn = group.dn;
            object.name = o.Text(2);
            object.description = o.Text(3);
            object.aclEncrypted = o.Text(4);
        }
        return rc == SQLITE_DONE;
    }

    static bool ReadRoles(sqlite3* db, std::vector<RoleRecord>& out)
    {
        std::unordered_map<int64_t, size_t> index;
        Statement r(db, "SELECT id,dn,name,description FROM role ORDER BY id");
        int rc;
        while ((rc = r.Step()) == SQLITE_ROW) {
            index[r.Int(0)] = out.size();
            out.push_back(RoleRecord{r.Text(1), r.Text(2), r.Text(3), {}, {}});
        }
        if (rc != SQLITE_DONE) {
            return false;
        }
        Statement m(db, "SELECT role_id,kind,name FROM role_member ORDER BY role_id,kind,position");
        while ((rc = m.Step()) == SQLITE_ROW) {
            auto it = index.find(m.Int(0));
            if (it == index.end()) {
                continue;
            }
            auto& role = out[it->second];
            (m.Int(1) == kMemberUser ? role.memberUsers : role.memberGroups).push_back(m.Text(2));
        }
        return rc == SQLITE_DONE;
    }

    // Finds, walking the day, hour and minute counts from the newest, the
    // minute that holds entry number `skip` of the range; the page is then
    // read from the time index with an offset smaller than that minute's count.
    static bool ReadLogPage(sqlite3* db, const TimeRange& range, int64_t page, std::vector<LogEntry>& out)
    {
        int64_t skip = page * kPageSize;
        std::string lower = range.from.substr(0, 10);
        std::string upper = range.to.empty() ? std::string("~") : range.to.substr(0, 10);
        std::string key;
        const char* levels[] = {
            "SELECT key,n FROM log_day WHERE key>=?1 AND key<?2 ORDER BY key DESC",
            "SELECT key,n FROM log_hour WHERE key>?1 AND key<?2 ORDER BY key DESC",
            "SELECT key,n FROM log_minute WHERE key>?1 AND key<?2 ORDER BY key DESC",
        };
        for (size_t level = 0; level < 3; ++level) {
            Statement s(db, levels[level]);
            if (level == 0) {
                s.Bind(1, lower).Bind(2, upper);
            } else {
                s.Bind(1, key).Bind(2, key + "~");
            }
            bool found = false;
            int rc;
            while ((rc = s.Step()) == SQLITE_ROW) {
                int64_t n = s.Int(1);
                if (skip < n) {
                    key = s.Text(0);
                    found = true;
                    break;
                }
                skip -= n;
            }
            if (!found) {
                return rc == SQLITE_DONE; // the range holds fewer entries: an empty page
            }
        }
        Statement s(db, "SELECT time,user,action,status,computer FROM log WHERE time<?1 AND time>=?2"
                        " ORDER BY time DESC, id DESC LIMIT ?3 OFFSET ?4");
        s.Bind(1, key + ":~").Bind(2, range.from).Bind(3, static_cast<int64_t>(kPageSize)).Bind(4, skip);
        int rc;
        while ((rc = s.Step()) == SQLITE_ROW) {
            out.push_back(LogEntry{s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4)});
        }
        return rc == SQLITE_DONE;
    }

    std::string path_;
    sqlite3* writer_;
    std::vector<sqlite3*> readers_;
    std::vector<sqlite3*> idle_;
    std::mutex poolMutex_;
    std::condition_variable poolReady_;
};

class SqliteBulkWriter final : public SecurityStore::BulkWriter {
public:
    explicit SqliteBulkWriter(SqliteStore& store)
        : store_(store), lock_(store.writeMutex_), tx_(store.BulkConnection())
    {
    }

    bool Application(const ApplicationRecord& appl) override
    {
        return tx_.active() && store_.InsertTree(appl);
    }
    bool Role(const RoleRecord& role) override { return tx_.active() && store_.InsertRole(role) >= 0; }
    bool Log(const LogEntry& entry) override { return tx_.active() && InsertLog(store_.cache(), entry); }
    bool Audit(const AuditRecord& audit) override
    {
        return tx_.active() && WriteAudit(store_.cache(), audit);
    }
    // Ends the transaction and gives the write lock back: a writer that is
    // kept after its commit blocks nobody.
    bool Commit() override
    {
        bool ok = tx_.Commit();
        tx_.Rollback();
        if (lock_.owns_lock()) {
            lock_.unlock();
        }
        return ok;
    }

private:
    SqliteStore& store_;
    std::unique_lock<std::mutex> lock_;
    Transaction tx_;
};

std::unique_ptr<SecurityStore::BulkWriter> SqliteStore::BeginBulk()
{
    return std::make_unique<SqliteBulkWriter>(*this);
}

bool Migrate(sqlite3* db, std::string& reason)
{
    if (!Exec(db, "CREATE TABLE IF NOT EXISTS schema_version(version INTEGER NOT NULL);")) {
        reason = sqlite3_errmsg(db);
        return false;
    }
    int64_t current = 0;
    {
        Statement s(db, "SELECT IFNULL(MAX(version),0) FROM schema_version");
        if (s.Step() != SQLITE_ROW) {
            reason = sqlite3_errmsg(db);
            return false;
        }
        current = s.Int(0);
    }
    const int64_t known = static_cast<int64_t>(std::size(kMigrations));
    if (current > known) {
        reason = "the database was written by a newer server (schema " + std::to_string(current) + ")";
        return false;
    }
    for (int64_t v = current + 1; v <= known; ++v) {
        Transaction tx(db);
        Statement record(db, "INSERT INTO schema_version(version) VALUES(?)");
        record.Bind(1, v);
        if (!tx.active() || !Exec(db, kMigrations[v - 1]) || !record.Run() || !tx.Commit()) {
            reason = "schema migration " + std::to_string(v) + " failed: " + sqlite3_errmsg(db);
            return false;
        }
    }
    return true;
}

} // namespace

std::unique_ptr<SecurityStore> OpenSqliteStore(const std::string& path, std::string& reason, bool fullSync)
{
    sqlite3* writer = OpenConnection(path, true, reason);
    if (!writer) {
        return nullptr;
    }
    if (!fullSync) {
        Exec(writer, "PRAGMA synchronous=NORMAL;");
    }
    bool walOn = false;
    {
        Statement wal(writer, "PRAGMA journal_mode=WAL;");
        walOn = wal.Step() == SQLITE_ROW && wal.Text(0) == "wal";
    }
    if (!walOn) {
        reason = "the database cannot use write-ahead logging";
        sqlite3_close(writer);
        return nullptr;
    }
    if (!Migrate(writer, reason)) {
        sqlite3_close(writer);
        return nullptr;
    }
    auto store = std::make_unique<SqliteStore>(path, writer);
    if (!store->OpenReaders(reason)) {
        return nullptr;
    }
    return store;
}

} // namespace zyr::server
