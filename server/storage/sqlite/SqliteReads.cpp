#include "server/storage/sqlite/SqliteReads.h"

#include "server/storage/ListAssembly.h"

#include <unordered_map>

namespace zyr::server::sqlite {

bool ReadApplications(sqlite3* db, std::vector<ApplicationRecord>& out, const std::string& named)
{
    ApplicationListAssembly list(out);
    const bool one = !named.empty(); // names compare without regard to case
    Statement a(
        db,
        one ? "SELECT id,dn,name,description,perm_plain,perm_enc,acl_plain,acl_enc FROM appl"
              " WHERE name=?1 ORDER BY id"
            : "SELECT id,dn,name,description,perm_plain,perm_enc,acl_plain,acl_enc FROM appl ORDER BY id");
    if (one) {
        a.Bind(1, named);
    }
    int rc;
    while ((rc = a.Step()) == SQLITE_ROW) {
        list.Application(
            a.Int(0), ApplicationRecord{
                          a.Text(1), a.Text(2), a.Text(3), a.Text(4), a.Text(5), a.Text(6), a.Text(7), {}});
    }
    if (rc != SQLITE_DONE) {
        return false;
    }
    Statement g(db,
                one ? "SELECT id,appl_id,dn,name,description,acl_plain,acl_enc FROM secgroup"
                      " WHERE appl_id IN (SELECT id FROM appl WHERE name=?1) ORDER BY id"
                    : "SELECT id,appl_id,dn,name,description,acl_plain,acl_enc FROM secgroup ORDER BY id");
    if (one) {
        g.Bind(1, named);
    }
    while ((rc = g.Step()) == SQLITE_ROW) {
        list.Group(g.Int(0), g.Int(1),
                   GroupRecord{g.Text(2), {}, g.Text(3), g.Text(4), g.Text(5), g.Text(6), {}});
    }
    if (rc != SQLITE_DONE) {
        return false;
    }
    // Objects are many: only what the list reply carries is read.
    Statement o(
        db, one ? "SELECT group_id,dn,name,description,acl_enc FROM secobj WHERE group_id IN"
                  " (SELECT g.id FROM secgroup g JOIN appl a ON a.id=g.appl_id WHERE a.name=?1) ORDER BY id"
                : "SELECT group_id,dn,name,description,acl_enc FROM secobj ORDER BY id");
    if (one) {
        o.Bind(1, named);
    }
    while ((rc = o.Step()) == SQLITE_ROW) {
        list.Object(o.Int(0), o.Text(1), o.Text(2), o.Text(3), o.Text(4));
    }
    return rc == SQLITE_DONE;
}

bool ReadRoles(sqlite3* db, std::vector<RoleRecord>& out)
{
    RoleListAssembly list(out);
    Statement r(db, "SELECT id,dn,name,description FROM role ORDER BY id");
    int rc;
    while ((rc = r.Step()) == SQLITE_ROW) {
        list.Role(r.Int(0), RoleRecord{r.Text(1), r.Text(2), r.Text(3), {}, {}});
    }
    if (rc != SQLITE_DONE) {
        return false;
    }
    Statement m(db, "SELECT role_id,kind,name FROM role_member ORDER BY role_id,kind,position");
    while ((rc = m.Step()) == SQLITE_ROW) {
        list.Member(m.Int(0), m.Int(1) == kMemberUser, m.Text(2));
    }
    return rc == SQLITE_DONE;
}

bool ReadLogPage(sqlite3* db, const TimeRange& range, int64_t page, std::vector<LogEntry>& out)
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

namespace {

const std::string kNoText;
constexpr const char* kNamesHolding = "SELECT name FROM audit_name WHERE instr(lower(name),lower(?1))>0";

// True when the names holding the text name few records: the page is then
// read through those names' records, sorted, rather than by walking the
// trail from the newest until the page fills, which at millions of records
// takes seconds when the text is rare. A text in many names is met often on
// that walk, so it stays the better way there.
bool FewRecordsNamed(sqlite3* db, const std::string& text)
{
    constexpr int64_t kFew = 20000;
    Statement s(db, (std::string("SELECT count(*) FROM (SELECT 1 FROM audit INDEXED BY audit_name_time"
                                 " WHERE name IN (") +
                     kNamesHolding + ") LIMIT ?2)")
                        .c_str());
    s.Bind(1, text).Bind(2, kFew + 1);
    return s.Step() == SQLITE_ROW && s.Int(0) <= kFew;
}

} // namespace

// With an account named, its index serves the page: an account is narrower
// than a kind of record, and "+" keeps the kind's index out.
bool ReadAuditPage(sqlite3* db, const AuditFilter& filter, int64_t page, std::vector<AuditRecord>& out)
{
    const bool byName = !filter.name.empty() && FewRecordsNamed(db, filter.name);
    std::string sql =
        "SELECT time,user,computer,object,operation,identity,name,old_value,new_value FROM audit";
    sql += byName ? std::string(" INDEXED BY audit_name_time WHERE name IN (") + kNamesHolding + ")"
                  : " WHERE 1";
    std::vector<const std::string*> values;
    if (byName) {
        values.push_back(&filter.name);
    }
    for (auto [value, clause] :
         {std::pair{&filter.from, " AND time>=?"}, std::pair{&filter.to, " AND time<?"},
          std::pair{&filter.user, " AND user=? COLLATE NOCASE"},
          std::pair{&filter.object,
                    filter.user.empty() ? " AND object=? COLLATE NOCASE" : " AND +object=? COLLATE NOCASE"},
          std::pair{byName ? &kNoText : &filter.name, " AND instr(lower(name),lower(?))>0"}}) {
        if (!value->empty()) {
            sql += clause;
            values.push_back(value);
        }
    }
    sql += " ORDER BY time DESC,id DESC LIMIT ? OFFSET ?";
    Statement s(db, sql.c_str());
    int index = 0;
    for (const std::string* value : values) {
        s.Bind(++index, *value);
    }
    s.Bind(index + 1, static_cast<int64_t>(kPageSize)).Bind(index + 2, page * kPageSize);
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW) {
        out.push_back(AuditRecord{s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Text(5), s.Text(6),
                                  s.Text(7), s.Text(8)});
    }
    return rc == SQLITE_DONE;
}

} // namespace zyr::server::sqlite
