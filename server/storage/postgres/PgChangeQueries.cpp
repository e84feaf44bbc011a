#include "server/storage/postgres/PgChangeQueries.h"

namespace zyr::server::pg {

// The list rows are locked as they are read, so that an update of another
// server is neither lost nor overwritten with an older list. fold_ascii folds
// ASCII case as the names compare.
const ChangeSql kChangeSql = {
    {"SELECT id FROM appl WHERE dn=$1",
     "SELECT id FROM appl WHERE fold_ascii(name)=fold_ascii($1) AND $2::bigint=$2 AND id<>$3",
     "DELETE FROM appl WHERE dn=$1",
     "SELECT id,acl_plain FROM appl WHERE strpos(fold_ascii(acl_plain),fold_ascii($1))>0 ORDER BY id FOR "
     "UPDATE",
     "UPDATE appl SET acl_plain=$1,acl_enc=$2 WHERE id=$3", "SELECT dn,name FROM appl WHERE id=$1", "Appl"},
    {"SELECT id FROM secgroup WHERE dn=$1",
     "SELECT id FROM secgroup WHERE fold_ascii(name)=fold_ascii($1) AND appl_id=$2 AND id<>$3",
     "DELETE FROM secgroup WHERE dn=$1",
     "SELECT id,acl_plain FROM secgroup WHERE strpos(fold_ascii(acl_plain),fold_ascii($1))>0"
     " ORDER BY id FOR UPDATE",
     "UPDATE secgroup SET acl_plain=$1,acl_enc=$2 WHERE id=$3", "SELECT dn,name FROM secgroup WHERE id=$1",
     "SecGroup"},
    {"SELECT id FROM secobj WHERE dn=$1",
     "SELECT id FROM secobj WHERE fold_ascii(name)=fold_ascii($1) AND group_id=$2 AND id<>$3",
     "DELETE FROM secobj WHERE dn=$1",
     "SELECT id,acl_plain FROM secobj WHERE strpos(fold_ascii(acl_plain),fold_ascii($1))>0"
     " ORDER BY id FOR UPDATE",
     "UPDATE secobj SET acl_plain=$1,acl_enc=$2 WHERE id=$3", "SELECT dn,name FROM secobj WHERE id=$1",
     "SecObj"},
    {"SELECT id FROM role WHERE dn=$1",
     "SELECT id FROM role WHERE fold_ascii(name)=fold_ascii($1) AND $2::bigint=$2 AND id<>$3",
     "DELETE FROM role WHERE dn=$1", nullptr, nullptr, nullptr, nullptr},
};

bool WriteAudit(Connection& c, const AuditRecord& a)
{
    return c.Run("INSERT INTO audit(time,who,computer,object,operation,identity,name,old_value,new_value)"
                 " VALUES($1,$2,$3,$4,$5,$6,$7,$8,$9)",
                 Params()
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

int64_t PgChangeQueries::IdOf(const char* sql, const std::string& key)
{
    Result r;
    if (!c_.Run(sql, Params().Add(key), &r)) {
        return -1;
    }
    return r.Rows() ? r.Int(0, 0) : 0;
}

int PgChangeQueries::Exists(const char* sql, const std::string& name, int64_t scope, int64_t self)
{
    Result r;
    if (!c_.Run(sql, Params().Add(name).Add(scope).Add(self), &r)) {
        return -1;
    }
    return r.Rows() ? 1 : 0;
}

bool PgChangeQueries::Rows(const char* sql, const std::string& key,
                           std::vector<std::pair<int64_t, std::string>>& out)
{
    Result r;
    if (!c_.Run(sql, Params().Add(key), &r)) {
        return false;
    }
    for (int i = 0; i < r.Rows(); ++i) {
        out.emplace_back(r.Int(i, 0), r.Text(i, 1));
    }
    return true;
}

bool PgChangeQueries::Update(const char* sql, const std::string& first, const std::string& second, int64_t id)
{
    return c_.Run(sql, Params().Add(first).Add(second).Add(id));
}

bool PgChangeQueries::TwoTexts(const char* sql, int64_t id, std::string& first, std::string& second)
{
    Result r;
    if (!c_.Run(sql, Params().Add(id), &r) || r.Rows() == 0) {
        return false;
    }
    first = r.Text(0, 0);
    second = r.Text(0, 1);
    return true;
}

int64_t PgChangeQueries::Delete(const char* sql, const std::string& key)
{
    Result r;
    if (!c_.Run(sql, Params().Add(key), &r)) {
        return -1;
    }
    return r.Changed();
}

} // namespace zyr::server::pg
