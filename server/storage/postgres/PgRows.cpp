#include "server/storage/postgres/PgRows.h"

#include "server/storage/postgres/PgReads.h"

namespace zyr::server::pg {

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

Params ApplicationFields(const ApplicationRecord& a)
{
    Params fields;
    fields.Add(a.name)
        .Add(a.description)
        .Add(a.permissionsPlain)
        .Add(a.permissionsEncrypted)
        .Add(a.aclPlain)
        .Add(a.aclEncrypted);
    return fields;
}

int64_t InsertApplication(Connection& c, const ApplicationRecord& a)
{
    Result r;
    if (!c.Run("INSERT INTO appl(name,description,perm_plain,perm_enc,acl_plain,acl_enc,dn)"
               " VALUES($1,$2,$3,$4,$5,$6,$7) RETURNING id",
               ApplicationFields(a).Add(a.dn), &r) ||
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

} // namespace zyr::server::pg
