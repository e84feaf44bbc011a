// Connections to a PostgreSQL server through libpq: statements with bound
// parameters only (each prepared once per connection), results read as text,
// and a fixed pool of connections shared by the server's threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct pg_conn;
struct pg_result;

namespace zyr::server::pg {

// True when the --db text names a PostgreSQL database (a postgresql:// or
// postgres:// URI, or libpq key=value settings) rather than a file.
bool IsConnectionString(const std::string& text);

class Result {
public:
    Result() = default;
    explicit Result(pg_result* result) : result_(result) {}
    Result(Result&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    Result& operator=(Result&& other) noexcept;
    ~Result();
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    int Rows() const;
    std::string Text(int row, int column) const;
    int64_t Int(int row, int column) const;
    // Rows changed by an INSERT, UPDATE or DELETE.
    int64_t Changed() const;

private:
    pg_result* result_ = nullptr;
};

// The parameters of one statement, all sent as text.
class Params {
public:
    Params& Add(std::string value)
    {
        values_.push_back(std::move(value));
        return *this;
    }
    Params& Add(int64_t value) { return Add(std::to_string(value)); }
    Params& Add(int value) { return Add(std::to_string(value)); }
    const std::vector<std::string>& values() const { return values_; }

private:
    std::vector<std::string> values_;
};

// A text[] parameter for unnest(): {"a","b"} with quotes and backslashes escaped.
std::string ArrayLiteral(const std::vector<std::string>& items);

class Connection {
public:
    // Connects and applies the session settings; check ok().
    Connection(const std::string& conninfo, bool synchronousCommit);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const;
    // Reconnects after the server dropped the connection; true when usable.
    bool Revive();
    std::string Error() const;

    // Runs one statement; false on failure, with SqlState() and Constraint()
    // telling why.
    bool Run(const char* sql, const Params& params, Result* out = nullptr);
    bool Run(const char* sql, Result* out = nullptr) { return Run(sql, Params{}, out); }
    // Runs statements without parameters (schema changes); no result kept.
    bool Script(const std::string& sql);
    // Sends rows to COPY ... FROM STDIN (text format, lines already escaped).
    bool Copy(const char* sql, const std::string& data);

    const std::string& SqlState() const { return sqlState_; }
    const std::string& Constraint() const { return constraint_; }
    // A failure another attempt may not meet (serialisation, deadlock).
    bool Retryable() const { return sqlState_ == "40001" || sqlState_ == "40P01"; }

private:
    bool RunOnce(const char* sql, const Params& params, Result* out);
    bool Check(pg_result* result, bool& ok);
    bool ApplySettings();

    pg_conn* conn_ = nullptr;
    bool synchronousCommit_;
    bool reviving_ = false;
    std::unordered_map<std::string, std::string> prepared_; // statement text -> name
    std::string sqlState_;
    std::string constraint_;
    std::string error_;
};

// A field of a COPY text row: backslash, tab and line breaks escaped.
void AppendCopyField(std::string& row, std::string_view text, bool last);

class Pool {
public:
    Pool(std::string conninfo, bool synchronousCommit);
    // Opens `size` connections; false with the reason when the first fails.
    bool Open(size_t size, std::string& reason);

    // A connection borrowed for one unit of work.
    class Lease {
    public:
        explicit Lease(Pool& pool);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Connection* operator->() const { return conn_; }
        Connection& operator*() const { return *conn_; }

    private:
        Pool& pool_;
        Connection* conn_;
    };

private:
    std::string conninfo_;
    bool synchronousCommit_;
    std::vector<std::unique_ptr<Connection>> all_;
    std::vector<Connection*> idle_;
    std::mutex mutex_;
    std::condition_variable ready_;
};

// Applies the schema steps the database has not recorded yet, under a lock
// that servers starting together share (PgSchema.cpp); false, with a reason,
// when one fails or the database is newer than the server.
bool Migrate(Connection& c, std::string& reason);

} // namespace zyr::server::pg
