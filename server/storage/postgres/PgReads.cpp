#include "server/storage/postgres/PgReads.h"

#include "server/storage/ListAssembly.h"

#include <unordered_map>

namespace zyr::server::pg {

bool ReadApplications(Connection& c, std::vector<ApplicationRecord>& out, const std::string& named)
{
    ApplicationListAssembly list(out);
    const bool one = !named.empty(); // names compare without regard to case
    Params name;
    if (one) {
        name.Add(named);
    }
    Result a;
    if (!c.Run(
            one ? "SELECT id,dn,name,description,perm_plain,perm_enc,acl_plain,acl_enc FROM appl"
                  " WHERE fold_ascii(name)=fold_ascii($1) ORDER BY id"
                : "SELECT id,dn,name,description,perm_plain,perm_enc,acl_plain,acl_enc FROM appl ORDER BY id",
            name, &a)) {
        return false;
    }
    for (int i = 0; i < a.Rows(); ++i) {
        list.Application(a.Int(i, 0), ApplicationRecord{a.Text(i, 1),
                                                        a.Text(i, 2),
                                                        a.Text(i, 3),
                                                        a.Text(i, 4),
                                                        a.Text(i, 5),
                                                        a.Text(i, 6),
                                                        a.Text(i, 7),
                                                        {}});
    }
    Result g;
    if (!c.Run(one ? "SELECT id,appl_id,dn,name,description,acl_plain,acl_enc FROM secgroup WHERE appl_id IN"
                     " (SELECT id FROM appl WHERE fold_ascii(name)=fold_ascii($1)) ORDER BY id"
                   : "SELECT id,appl_id,dn,name,description,acl_plain,acl_enc FROM secgroup ORDER BY id",
               name, &g)) {
        return false;
    }
    for (int i = 0; i < g.Rows(); ++i) {
        list.Group(g.Int(i, 0), g.Int(i, 1),
                   GroupRecord{g.Text(i, 2), {}, g.Text(i, 3), g.Text(i, 4), g.Text(i, 5), g.Text(i, 6), {}});
    }
    // Objects are many: only what the list reply carries is read.
    Result o;
    if (!c.Run(one ? "SELECT group_id,dn,name,description,acl_enc FROM secobj WHERE group_id IN (SELECT g.id"
                     " FROM secgroup g JOIN appl a ON a.id=g.appl_id WHERE fold_ascii(a.name)=fold_ascii($1))"
                     " ORDER BY id"
                   : "SELECT group_id,dn,name,description,acl_enc FROM secobj ORDER BY id",
               name, &o)) {
        return false;
    }
    for (int i = 0; i < o.Rows(); ++i) {
        list.Object(o.Int(i, 0), o.Text(i, 1), o.Text(i, 2), o.Text(i, 3), o.Text(i, 4));
    }
    return true;
}

bool ReadRoles(Connection& c, std::vector<RoleRecord>& out)
{
    RoleListAssembly list(out);
    Result r;
    if (!c.Run("SELECT id,dn,name,description FROM role ORDER BY id", &r)) {
        return false;
    }
    for (int i = 0; i < r.Rows(); ++i) {
        list.Role(r.Int(i, 0), RoleRecord{r.Text(i, 1), r.Text(i, 2), r.Text(i, 3), {}, {}});
    }
    Result m;
    if (!c.Run("SELECT role_id,kind,name FROM role_member ORDER BY role_id,kind,position", &m)) {
        return false;
    }
    for (int i = 0; i < m.Rows(); ++i) {
        list.Member(m.Int(i, 0), m.Int(i, 1) == kMemberUser, m.Text(i, 2));
    }
    return true;
}

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

namespace {

const std::string kNoText;

// The names of the trail that hold the text, when they are few: a page is
// then read as the newest records of each such name, through its index,
// merged. A text in many names is met often on the walk from the newest, so
// the walk stays the way there. Reading each name's newest records (rather
// than all records of the names, sorted) keeps the work bounded by the page
// and keeps the planner from a scan of the whole trail when its statistics
// are behind, as they are after a large import.
bool FewNamesHolding(Connection& c, const std::string& text, int64_t perName, std::vector<std::string>& names)
{
    constexpr int64_t kFewNames = 1000;
    constexpr int64_t kMostRecords = 200000; // names times records read from each
    Result found;
    if (!c.Run("SELECT name FROM audit_name WHERE strpos(folded,fold_ascii($1))>0 LIMIT $2",
               Params().Add(text).Add(kFewNames + 1), &found) ||
        found.Rows() > kFewNames || found.Rows() * perName > kMostRecords) {
        return false;
    }
    for (int i = 0; i < found.Rows(); ++i) {
        names.push_back(found.Text(i, 0));
    }
    return true;
}

} // namespace

// With an account named, its index serves the page: an account is narrower
// than a kind of record, and "||''" keeps the kind's index out.
bool ReadAuditPage(Connection& c, const AuditFilter& filter, int64_t page, std::vector<AuditRecord>& out)
{
    const int64_t needed = (page + 1) * kPageSize;
    std::vector<std::string> names;
    const bool byName = !filter.name.empty() && FewNamesHolding(c, filter.name, needed, names);
    if (byName && names.empty()) {
        return true; // no record's name holds the text
    }
    Params params;
    int index = 0;
    if (byName) {
        params.Add(ArrayLiteral(names)).Add(needed);
        index = 2;
    }
    // Each clause's "?" becomes its parameter's number.
    std::string where = "pos IS NOT NULL";
    for (auto [value, clause] :
         {std::pair{&filter.from, std::string_view(" AND time>=?")},
          std::pair{&filter.to, std::string_view(" AND time<?")},
          std::pair{&filter.user, std::string_view(" AND fold_ascii(who)=fold_ascii(?)")},
          std::pair{&filter.object,
                    std::string_view(filter.user.empty() ? " AND fold_ascii(object)=fold_ascii(?)"
                                                         : " AND fold_ascii(object)||''=fold_ascii(?)")},
          std::pair{byName ? &kNoText : &filter.name,
                    std::string_view(" AND strpos(fold_ascii(name),fold_ascii(?))>0")}}) {
        if (value->empty()) {
            continue;
        }
        const size_t mark = clause.find('?');
        where.append(clause.substr(0, mark))
            .append("$" + std::to_string(++index))
            .append(clause.substr(mark + 1));
        params.Add(*value);
    }
    const std::string columns = "time,who,computer,object,operation,identity,name,old_value,new_value";
    std::string sql = byName ? "SELECT " + columns +
                                   " FROM unnest($1::text[]) AS named(n) CROSS JOIN LATERAL (SELECT " +
                                   columns + ",pos FROM audit WHERE audit.name=named.n AND " + where +
                                   " ORDER BY time DESC,pos DESC LIMIT $2) newest"
                             : "SELECT " + columns + " FROM audit WHERE " + where;
    sql += " ORDER BY time DESC,pos DESC LIMIT $" + std::to_string(index + 1) + " OFFSET $" +
           std::to_string(index + 2);
    params.Add(static_cast<int64_t>(kPageSize)).Add(page * kPageSize);
    Result r;
    if (!c.Run(sql.c_str(), params, &r)) {
        return false;
    }
    for (int i = 0; i < r.Rows(); ++i) {
        out.push_back(AuditRecord{r.Text(i, 0), r.Text(i, 1), r.Text(i, 2), r.Text(i, 3), r.Text(i, 4),
                                  r.Text(i, 5), r.Text(i, 6), r.Text(i, 7), r.Text(i, 8)});
    }
    return true;
}

} // namespace zyr::server::pg
