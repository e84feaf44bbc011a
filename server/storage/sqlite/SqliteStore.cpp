// SQLite backend: one database file in WAL mode with foreign keys on. One
// connection writes (changes are serialised), a small pool of connections
// reads. Every statement binds its values; no text is ever spliced into SQL.
#include "server/storage/SecurityStore.h"

#include "cache/TextCipher.h"
#include "server/storage/PlainLists.h"
#include "server/storage/sqlite/SqliteChangeQueries.h"
#include "server/storage/sqlite/SqliteReads.h"
#include "server/storage/sqlite/SqliteRows.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace zyr::server {

namespace {

using sqlite::CountLog;
using sqlite::Exec;
using sqlite::InsertLog;
using sqlite::InsertMembers;
using sqlite::kChangeSql;
using sqlite::OpenConnection;
using sqlite::Statement;
using sqlite::StatementCache;
using sqlite::Transaction;
using sqlite::WriteAudit;

constexpr size_t kReaders = 4;

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
        return ReadAll(out, [](sqlite3* db, std::vector<ApplicationRecord>& list) {
            return sqlite::ReadApplications(db, list);
        });
    }
    bool ListApplicationNamed(const std::string& name, std::vector<ApplicationRecord>& out) override
    {
        return ReadAll(out, [&](sqlite3* db, std::vector<ApplicationRecord>& list) {
            return sqlite::ReadApplications(db, list, name);
        });
    }

    StoreResult AddApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            if (StoreResult r = CheckFree(*queries_, kChangeSql.appl, a.dn, a.name, 0, 0);
                r != StoreResult::Ok) {
                return r;
            }
            return WithAudit(InsertApplication(a) >= 0, audit);
        });
    }

    StoreResult UpdateApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            int64_t id = 0;
            if (StoreResult r = FindForRename(kChangeSql.appl, a.dn, a.name, id); r != StoreResult::Ok) {
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
        return Write([&] { return DeleteByIdentity(*queries_, kChangeSql.appl, dn, audit); });
    }

    StoreResult ImportApplication(const ApplicationRecord& a, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            if (StoreResult r = CheckImportFree(*queries_, kChangeSql, a); r != StoreResult::Ok) {
                return r;
            }
            return WithAudit(InsertTree(a), audit);
        });
    }

    StoreResult AddGroup(const GroupRecord& g, const AuditRecord& audit) override
    {
        return Write([&] {
            return AddUnder(*queries_, kChangeSql.appl, g.applDn, kChangeSql.group, g.dn, g.name, audit,
                            [&](int64_t applId) { return InsertGroup(applId, g) >= 0; });
        });
    }

    StoreResult UpdateGroup(const GroupRecord& g, const AuditRecord& audit) override
    {
        return Write([&] {
            return UpdateInScope(
                "SELECT id, appl_id FROM secgroup WHERE dn=?", kChangeSql.group, g.dn, g.name, audit,
                [&](int64_t id) {
                    Statement& s =
                        cache_("UPDATE secgroup SET name=?,description=?,acl_plain=?,acl_enc=? WHERE id=?");
                    s.Bind(1, g.name)
                        .Bind(2, g.description)
                        .Bind(3, g.aclPlain)
                        .Bind(4, g.aclEncrypted)
                        .Bind(5, id);
                    return s.Run();
                });
        });
    }

    StoreResult DeleteGroup(const std::string& dn, const AuditRecord& audit) override
    {
        return Write([&] { return DeleteByIdentity(*queries_, kChangeSql.group, dn, audit); });
    }

    bool FindGroup(const std::string& dn, GroupRecord& out) override
    {
        return FindByIdentity("SELECT g.dn, a.dn, g.name, g.description, g.acl_plain, g.acl_enc"
                              " FROM secgroup g JOIN appl a ON a.id=g.appl_id WHERE g.dn=?",
                              dn, [&](Statement& s) {
                                  out = GroupRecord{s.Text(0), s.Text(1), s.Text(2), s.Text(3),
                                                    s.Text(4), s.Text(5), {}};
                              });
    }

    StoreResult AddObject(const ObjectRecord& o, const AuditRecord& audit) override
    {
        return Write([&] {
            return AddUnder(*queries_, kChangeSql.group, o.groupDn, kChangeSql.object, o.dn, o.name, audit,
                            [&](int64_t groupId) { return InsertObject(groupId, o); });
        });
    }

    StoreResult UpdateObject(const ObjectRecord& o, const AuditRecord& audit) override
    {
        return Write([&] {
            return UpdateInScope(
                "SELECT id, group_id FROM secobj WHERE dn=?", kChangeSql.object, o.dn, o.name, audit,
                [&](int64_t id) {
                    Statement& s = cache_(
                        "UPDATE secobj SET name=?,description=?,acl_plain=?,acl_enc=?,use_q=?,q_name=?,"
                        "q_type=?,q_oper=?,q_value=? WHERE id=?");
                    s.Bind(1, o.name).Bind(2, o.description).Bind(3, o.aclPlain).Bind(4, o.aclEncrypted);
                    s.Bind(5, static_cast<int64_t>(o.useQualifier))
                        .Bind(6, o.qualifierName)
                        .Bind(7, o.qualifierType);
                    s.Bind(8, o.qualifierOperator).Bind(9, o.qualifierValue).Bind(10, id);
                    return s.Run();
                });
        });
    }

    StoreResult DeleteObject(const std::string& dn, const AuditRecord& audit) override
    {
        return Write([&] { return DeleteByIdentity(*queries_, kChangeSql.object, dn, audit); });
    }

    bool FindObject(const std::string& dn, ObjectRecord& out) override
    {
        return FindByIdentity("SELECT o.dn, g.dn, o.name, o.description, o.acl_plain, o.acl_enc, o.use_q,"
                              " o.q_name, o.q_type, o.q_oper, o.q_value"
                              " FROM secobj o JOIN secgroup g ON g.id=o.group_id WHERE o.dn=?",
                              dn, [&](Statement& s) {
                                  out = ObjectRecord{s.Text(0),
                                                     s.Text(1),
                                                     s.Text(2),
                                                     s.Text(3),
                                                     s.Text(4),
                                                     s.Text(5),
                                                     static_cast<int32_t>(s.Int(6)),
                                                     s.Text(7),
                                                     s.Text(8),
                                                     s.Text(9),
                                                     s.Text(10)};
                              });
    }

    // ---- roles ----

    bool ListRoles(std::vector<RoleRecord>& out) override { return ReadAll(out, sqlite::ReadRoles); }

    StoreResult AddRole(const RoleRecord& role, const AuditRecord& audit) override
    {
        return Write([&]() -> StoreResult {
            if (StoreResult r = CheckFree(*queries_, kChangeSql.role, role.dn, role.name, 0, 0);
                r != StoreResult::Ok) {
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
            int64_t id = 0;
            if (StoreResult r = FindForRename(kChangeSql.role, role.dn, role.name, id);
                r != StoreResult::Ok) {
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
            if (!s.Run() || !RemoveRoleFromLists(*queries_, kChangeSql, name, audit) ||
                !WriteAudit(cache_, audit)) {
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
        return ReadAll(out, [&](sqlite3* db, std::vector<LogEntry>& list) {
            return sqlite::ReadLogPage(db, range, page, list);
        });
    }

    StoreResult DeleteLogs(const TimeRange& range, const AuditRecord& audit, int64_t& removed) override
    {
        return RemoveLogs(removed, audit, [&] {
            std::string from = range.from;
            std::string to = range.to.empty() ? std::string("~") : range.to;
            std::string fromDay = from.substr(0, 10);
            std::string toDay = range.to.empty() ? std::string("~") : range.to.substr(0, 10);
            Statement& s = cache_("DELETE FROM log WHERE time>=? AND time<?");
            s.Bind(1, from).Bind(2, to);
            if (!s.Run()) {
                return false;
            }
            removed = sqlite3_changes64(writer_);
            for (const char* sql :
                 {"DELETE FROM log_day WHERE key>=? AND key<?", "DELETE FROM log_hour WHERE key>=? AND key<?",
                  "DELETE FROM log_minute WHERE key>=? AND key<?"}) {
                Statement& b = cache_(sql);
                b.Bind(1, fromDay).Bind(2, toDay);
                if (!b.Run()) {
                    return false;
                }
            }
            return true;
        });
    }

    StoreResult DeleteLogsAt(const std::string& second, const AuditRecord& audit, int64_t& removed) override
    {
        return RemoveLogs(removed, audit, [&] {
            Statement& s = cache_("DELETE FROM log WHERE time=?");
            s.Bind(1, second);
            if (!s.Run()) {
                return false;
            }
            removed = sqlite3_changes64(writer_);
            return removed == 0 || CountLog(cache_, second, -removed);
        });
    }

    // ---- audit and flags ----

    bool GetAuditPage(const AuditFilter& filter, int64_t page, std::vector<AuditRecord>& out) override
    {
        out.clear();
        if (page < 0) {
            return false;
        }
        Reader reader(*this);
        if (!reader.db()) {
            return false;
        }
        if (!filter.Empty()) {
            return sqlite::ReadAuditPage(reader.db(), filter, page, out);
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
    std::unique_ptr<ChangeQueries> queries_ = sqlite::MakeChangeQueries(cache_);

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
    // The one row a statement finds by identity, read on a borrowed reader;
    // false when there is none or the read fails.
    template <class Fill>
    bool FindByIdentity(const char* sql, const std::string& dn, Fill&& fill)
    {
        Reader reader(*this);
        if (!reader.db()) {
            return false;
        }
        Statement s(reader.db(), sql);
        s.Bind(1, dn);
        if (s.Step() != SQLITE_ROW) {
            return false;
        }
        fill(s);
        return true;
    }

    // A read of several tables in one read transaction on a borrowed reader.
    template <class T, class Body>
    bool ReadAll(std::vector<T>& out, Body&& body)
    {
        out.clear();
        Reader reader(*this);
        sqlite3* db = reader.db();
        if (!db || !Exec(db, "BEGIN;")) {
            return false;
        }
        bool ok = body(db, out);
        Exec(db, ok ? "COMMIT;" : "ROLLBACK;");
        if (!ok) {
            out.clear();
        }
        return ok;
    }

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

    // The audit record follows a change that went through; either failing fails the whole.
    // The id of the record with the identity, once no other record of its
    // kind holds the name it is to take; else the refusal.
    StoreResult FindForRename(const ChangeSql::Kind& kind, const std::string& dn, const std::string& name,
                              int64_t& id)
    {
        id = queries_->IdOf(kind.byIdentity, dn);
        if (id <= 0) {
            return id == 0 ? StoreResult::NotFound : StoreResult::Failed;
        }
        return CheckFree(*queries_, kind, dn, name, 0, id);
    }

    StoreResult WithAudit(bool changed, const AuditRecord& audit)
    {
        return changed && WriteAudit(cache_, audit) ? StoreResult::Ok : StoreResult::Failed;
    }

    // A removal of log entries with its audit record: remove sets removed,
    // which is 0 again unless the change is kept.
    template <typename Remove>
    StoreResult RemoveLogs(int64_t& removed, const AuditRecord& audit, Remove&& remove)
    {
        removed = 0;
        StoreResult result = Write([&] { return WithAudit(remove(), audit); });
        if (result != StoreResult::Ok) {
            removed = 0;
        }
        return result;
    }

    // Updates the record with the identity (found with the parent whose names
    // it shares) unless another record of that parent holds the name.
    template <typename Update>
    StoreResult UpdateInScope(const char* findSql, const ChangeSql::Kind& kind, const std::string& dn,
                              const std::string& name, const AuditRecord& audit, Update&& update)
    {
        Statement& find = cache_(findSql);
        find.Bind(1, dn);
        int rc = find.Step();
        if (rc != SQLITE_ROW) {
            return rc == SQLITE_DONE ? StoreResult::NotFound : StoreResult::Failed;
        }
        int64_t id = find.Int(0);
        int64_t scope = find.Int(1);
        find.Reset();
        if (StoreResult r = CheckFree(*queries_, kind, dn, name, scope, id); r != StoreResult::Ok) {
            return r;
        }
        return WithAudit(update(id), audit);
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

} // namespace

std::unique_ptr<SecurityStore> OpenSqliteStore(const std::string& path, std::string& reason, bool fullSync)
{
    if (!sqlite::PrepareDatabaseFile(path, reason)) {
        return nullptr;
    }
    sqlite3* writer = OpenConnection(path, true, reason);
    if (!writer) {
        return nullptr;
    }
    // A file the server may read but not write is opened read-only without
    // a word; every change would then fail.
    if (sqlite3_db_readonly(writer, "main") != 0) {
        reason = "the database " + path + " cannot be written";
        sqlite3_close(writer);
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
    if (!sqlite::Migrate(writer, reason)) {
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
