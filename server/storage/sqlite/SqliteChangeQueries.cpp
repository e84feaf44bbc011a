#include "server/storage/sqlite/SqliteChangeQueries.h"

namespace zyr::server::sqlite {

// The lower() filter of the list rows folds ASCII case as the role names compare.
const ChangeSql kChangeSql = {
    {"SELECT id FROM appl WHERE dn=?", "SELECT id FROM appl WHERE name=?1 AND ?2=?2 AND id<>?3",
     "DELETE FROM appl WHERE dn=?", "SELECT id,acl_plain FROM appl WHERE instr(lower(acl_plain),lower(?))>0",
     "UPDATE appl SET acl_plain=?,acl_enc=? WHERE id=?", "SELECT dn,name FROM appl WHERE id=?", "Appl"},
    {"SELECT id FROM secgroup WHERE dn=?", "SELECT id FROM secgroup WHERE name=?1 AND appl_id=?2 AND id<>?3",
     "DELETE FROM secgroup WHERE dn=?",
     "SELECT id,acl_plain FROM secgroup WHERE instr(lower(acl_plain),lower(?))>0",
     "UPDATE secgroup SET acl_plain=?,acl_enc=? WHERE id=?", "SELECT dn,name FROM secgroup WHERE id=?",
     "SecGroup"},
    {"SELECT id FROM secobj WHERE dn=?", "SELECT id FROM secobj WHERE name=?1 AND group_id=?2 AND id<>?3",
     "DELETE FROM secobj WHERE dn=?",
     "SELECT id,acl_plain FROM secobj WHERE instr(lower(acl_plain),lower(?))>0",
     "UPDATE secobj SET acl_plain=?,acl_enc=? WHERE id=?", "SELECT dn,name FROM secobj WHERE id=?", "SecObj"},
    {"SELECT id FROM role WHERE dn=?", "SELECT id FROM role WHERE name=?1 AND ?2=?2 AND id<>?3",
     "DELETE FROM role WHERE dn=?", nullptr, nullptr, nullptr, nullptr},
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

namespace {

class SqliteChangeQueries final : public ChangeQueries {
public:
    explicit SqliteChangeQueries(StatementCache& db) : db_(db) {}

    int64_t IdOf(const char* sql, const std::string& key) override
    {
        Statement& s = db_(sql);
        s.Bind(1, key);
        int rc = s.Step();
        int64_t id = rc == SQLITE_ROW ? s.Int(0) : (rc == SQLITE_DONE ? 0 : -1);
        s.Reset();
        return id;
    }

    int Exists(const char* sql, const std::string& name, int64_t scope, int64_t self) override
    {
        Statement& s = db_(sql);
        s.Bind(1, name).Bind(2, scope).Bind(3, self);
        int rc = s.Step();
        s.Reset();
        return rc == SQLITE_ROW ? 1 : (rc == SQLITE_DONE ? 0 : -1);
    }

    bool Rows(const char* sql, const std::string& key,
              std::vector<std::pair<int64_t, std::string>>& out) override
    {
        Statement& s = db_(sql);
        s.Bind(1, key);
        int rc;
        while ((rc = s.Step()) == SQLITE_ROW) {
            out.emplace_back(s.Int(0), s.Text(1));
        }
        s.Reset();
        return rc == SQLITE_DONE;
    }

    bool Update(const char* sql, const std::string& first, const std::string& second, int64_t id) override
    {
        Statement& s = db_(sql);
        s.Bind(1, first).Bind(2, second).Bind(3, id);
        return s.Run();
    }

    bool TwoTexts(const char* sql, int64_t id, std::string& first, std::string& second) override
    {
        Statement& s = db_(sql);
        s.Bind(1, id);
        bool found = s.Step() == SQLITE_ROW;
        if (found) {
            first = s.Text(0);
            second = s.Text(1);
        }
        s.Reset();
        return found;
    }

    int64_t Delete(const char* sql, const std::string& key) override
    {
        Statement& s = db_(sql);
        s.Bind(1, key);
        if (!s.Run()) {
            return -1;
        }
        return sqlite3_changes64(db_.db());
    }

    bool WriteAudit(const AuditRecord& audit) override { return sqlite::WriteAudit(db_, audit); }

private:
    StatementCache& db_;
};

} // namespace

std::unique_ptr<ChangeQueries> MakeChangeQueries(StatementCache& db)
{
    return std::make_unique<SqliteChangeQueries>(db);
}

} // namespace zyr::server::sqlite
