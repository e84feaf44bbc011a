// The statements of the shared change steps on a PostgreSQL connection, and their SQL.
#pragma once

#include "server/storage/ChangeSteps.h"
#include "server/storage/postgres/PgConnection.h"

namespace zyr::server::pg {

extern const ChangeSql kChangeSql;

bool WriteAudit(Connection& c, const AuditRecord& a);

class PgChangeQueries final : public ChangeQueries {
public:
    explicit PgChangeQueries(Connection& c) : c_(c) {}

    int64_t IdOf(const char* sql, const std::string& key) override;
    int Exists(const char* sql, const std::string& name, int64_t scope, int64_t self) override;
    bool Rows(const char* sql, const std::string& key,
              std::vector<std::pair<int64_t, std::string>>& out) override;
    bool Update(const char* sql, const std::string& first, const std::string& second, int64_t id) override;
    bool TwoTexts(const char* sql, int64_t id, std::string& first, std::string& second) override;
    int64_t Delete(const char* sql, const std::string& key) override;
    bool WriteAudit(const AuditRecord& audit) override { return pg::WriteAudit(c_, audit); }

private:
    Connection& c_;
};

} // namespace zyr::server::pg
