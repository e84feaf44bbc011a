#include "server/storage/sqlite/SqliteRows.h"

#include "server/storage/sqlite/SqliteReads.h"

namespace zyr::server::sqlite {

namespace {

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

} // namespace

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

} // namespace zyr::server::sqlite
