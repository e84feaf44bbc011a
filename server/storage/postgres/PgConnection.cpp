#include "server/storage/postgres/PgConnection.h"

#include <libpq-fe.h>

#include <cstdlib>

namespace zyr::server::pg {

namespace {

void IgnoreNotice(void*, const char*) {}

} // namespace

bool IsConnectionString(const std::string& text)
{
    if (text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0) {
        return true;
    }
    if (text.find('=') == std::string::npos) {
        return false;
    }
    // key=value settings parse; a path does not (its first word is no setting).
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
    PQfreemem(error);
    if (!options) {
        return false;
    }
    PQconninfoFree(options);
    return true;
}

Result& Result::operator=(Result&& other) noexcept
{
    if (this != &other) {
        PQclear(result_);
        result_ = other.result_;
        other.result_ = nullptr;
    }
    return *this;
}

Result::~Result()
{
    PQclear(result_);
}

int Result::Rows() const
{
    return result_ ? PQntuples(result_) : 0;
}

std::string Result::Text(int row, int column) const
{
    return std::string(PQgetvalue(result_, row, column),
                       static_cast<size_t>(PQgetlength(result_, row, column)));
}

int64_t Result::Int(int row, int column) const
{
    return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
}

int64_t Result::Changed() const
{
    const char* n = result_ ? PQcmdTuples(result_) : "";
    return *n ? std::strtoll(n, nullptr, 10) : 0;
}

std::string ArrayLiteral(const std::vector<std::string>& items)
{
    std::string out = "{";
    for (size_t i = 0; i < items.size(); ++i) {
        out += i ? ",\"" : "\"";
        for (char c : items[i]) {
            if (c == '"' || c == '\\') {
                out += '\\';
            }
            out += c;
        }
        out += '"';
    }
    out += '}';
    return out;
}

void AppendCopyField(std::string& row, std::string_view text, bool last)
{
    for (char c : text) {
        switch (c) {
        case '\\':
            row += "\\\\";
            break;
        case '\t':
            row += "\\t";
            break;
        case '\n':
            row += "\\n";
            break;
        case '\r':
            row += "\\r";
            break;
        default:
            row += c;
        }
    }
    row += last ? '\n' : '\t';
}

Connection::Connection(const std::string& conninfo, bool synchronousCommit)
    : synchronousCommit_(synchronousCommit)
{
    conn_ = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn_) == CONNECTION_OK) {
        PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
        ApplySettings();
    } else {
        error_ = PQerrorMessage(conn_);
    }
}

Connection::~Connection()
{
    PQfinish(conn_);
}

bool Connection::ok() const
{
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

bool Connection::ApplySettings()
{
    // Text travels as the console sent it; times compare as bytes (columns
    // that hold them are in the "C" collation).
    if (PQsetClientEncoding(conn_, "UTF8") != 0) {
        error_ = PQerrorMessage(conn_);
        return false;
    }
    return Run(synchronousCommit_ ? "SET synchronous_commit = on" : "SET synchronous_commit = off");
}

bool Connection::Revive()
{
    if (ok() && PQtransactionStatus(conn_) != PQTRANS_UNKNOWN) {
        return true;
    }
    // A reset may find the server back up.
    if (reviving_) {
        return false; // the settings of a fresh connection failed: no second reset from within
    }
    PQreset(conn_);
    prepared_.clear();
    if (!ok()) {
        error_ = PQerrorMessage(conn_);
        return false;
    }
    reviving_ = true;
    bool ok = ApplySettings();
    reviving_ = false;
    return ok;
}

std::string Connection::Error() const
{
    return error_;
}

bool Connection::Check(pg_result* result, bool& ok)
{
    ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    sqlState_.clear();
    constraint_.clear();
    if (!ok) {
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const char* constraint = result ? PQresultErrorField(result, PG_DIAG_CONSTRAINT_NAME) : nullptr;
        sqlState_ = state ? state : "";
        constraint_ = constraint ? constraint : "";
        error_ = result ? PQresultErrorMessage(result) : PQerrorMessage(conn_);
    }
    return ok;
}

bool Connection::Run(const char* sql, const Params& params, Result* out)
{
    bool idle = PQtransactionStatus(conn_) == PQTRANS_IDLE;
    if (RunOnce(sql, params, out)) {
        return true;
    }
    // Outside a transaction nothing was done when the database server had
    // dropped the connection (a restart): connect again and run it once more.
    return idle && PQstatus(conn_) == CONNECTION_BAD && Revive() && RunOnce(sql, params, out);
}

bool Connection::RunOnce(const char* sql, const Params& params, Result* out)
{
    auto it = prepared_.find(sql);
    if (it == prepared_.end()) {
        std::string name = "s" + std::to_string(prepared_.size() + 1);
        pg_result* prepared = PQprepare(conn_, name.c_str(), sql, 0, nullptr);
        bool ok = false;
        Check(prepared, ok);
        PQclear(prepared);
        if (!ok) {
            return false;
        }
        it = prepared_.emplace(sql, name).first;
    }
    std::vector<const char*> values;
    values.reserve(params.values().size());
    for (const auto& v : params.values()) {
        values.push_back(v.c_str());
    }
    pg_result* result = PQexecPrepared(conn_, it->second.c_str(), static_cast<int>(values.size()),
                                       values.data(), nullptr, nullptr, 0);
    bool ok = false;
    Check(result, ok);
    if (out) {
        *out = Result(result);
    } else {
        PQclear(result);
    }
    return ok;
}

bool Connection::Script(const std::string& sql)
{
    bool idle = PQtransactionStatus(conn_) == PQTRANS_IDLE;
    for (int attempt = 0;; ++attempt) {
        pg_result* result = PQexec(conn_, sql.c_str());
        bool ok = false;
        Check(result, ok);
        PQclear(result);
        if (ok || attempt > 0 || !idle || PQstatus(conn_) != CONNECTION_BAD || !Revive()) {
            return ok;
        }
    }
}

bool Connection::Copy(const char* sql, const std::string& data)
{
    pg_result* start = PQexec(conn_, sql);
    bool started = start && PQresultStatus(start) == PGRES_COPY_IN;
    PQclear(start);
    if (!started) {
        error_ = PQerrorMessage(conn_);
        return false;
    }
    bool sent = PQputCopyData(conn_, data.data(), static_cast<int>(data.size())) == 1;
    if (PQputCopyEnd(conn_, sent ? nullptr : "the rows could not be sent") != 1) {
        error_ = PQerrorMessage(conn_);
        return false;
    }
    bool ok = sent;
    pg_result* result;
    while ((result = PQgetResult(conn_)) != nullptr) {
        bool step = false;
        Check(result, step);
        ok = ok && step;
        PQclear(result);
    }
    return ok;
}

Pool::Pool(std::string conninfo, bool synchronousCommit)
    : conninfo_(std::move(conninfo)), synchronousCommit_(synchronousCommit)
{
}

bool Pool::Open(size_t size, std::string& reason)
{
    for (size_t i = 0; i < size; ++i) {
        auto conn = std::make_unique<Connection>(conninfo_, synchronousCommit_);
        if (!conn->ok()) {
            reason = conn->Error();
            while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
                reason.pop_back();
            }
            return false;
        }
        idle_.push_back(conn.get());
        all_.push_back(std::move(conn));
    }
    return true;
}

Pool::Lease::Lease(Pool& pool) : pool_(pool)
{
    std::unique_lock lock(pool_.mutex_);
    pool_.ready_.wait(lock, [&] { return !pool_.idle_.empty(); });
    conn_ = pool_.idle_.back();
    pool_.idle_.pop_back();
    lock.unlock();
    conn_->Revive();
}

Pool::Lease::~Lease()
{
    {
        std::lock_guard lock(pool_.mutex_);
        pool_.idle_.push_back(conn_);
    }
    pool_.ready_.notify_one();
}

} // namespace zyr::server::pg
