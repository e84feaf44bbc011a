// The SQLite connections of the store: prepared statements with bound
// values, the writer's statement cache and transactions.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

namespace zyr::server::sqlite {

class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& Bind(int index, const std::string& text)
    {
        if (stmt_) {
            sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        return *this;
    }
    Statement& Bind(int index, int64_t value)
    {
        if (stmt_) {
            sqlite3_bind_int64(stmt_, index, value);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    bool Run() { return Step() == SQLITE_DONE; }
    void Reset()
    {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    std::string Text(int column) const
    {
        const unsigned char* p = sqlite3_column_text(stmt_, column);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// The writer's prepared statements, kept for the life of the connection and
// used only under the write lock. They are found by the address of their
// text, which is always a literal: no string is made or hashed per use.
class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : db_(db) {}
    Statement& operator()(const char* sql)
    {
        auto& slot = statements_[sql];
        if (!slot) {
            slot = std::make_unique<Statement>(db_, sql);
        }
        slot->Reset();
        return *slot;
    }
    sqlite3* db() const { return db_; }
    void ResetAll()
    {
        for (auto& [sql, statement] : statements_) {
            statement->Reset();
        }
    }

private:
    sqlite3* db_;
    std::unordered_map<const char*, std::unique_ptr<Statement>> statements_;
};

bool Exec(sqlite3* db, const char* sql);

// Opens a connection with foreign keys on and waits for a busy database;
// null, with a reason, when that fails.
// Makes a database file that is not there yet, mode 0600 (and its missing
// folders 0700); false with a reason when that fails.
bool PrepareDatabaseFile(const std::string& path, std::string& reason);

sqlite3* OpenConnection(const std::string& path, bool create, std::string& reason);

// Applies the schema steps the database has not recorded yet (SqliteSchema.cpp);
// false, with a reason, when one fails or the database is newer than the server.
bool Migrate(sqlite3* db, std::string& reason);

// A transaction on the writer connection; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) { active_ = Exec(db_, "BEGIN IMMEDIATE;"); }
    ~Transaction()
    {
        if (active_) {
            Exec(db_, "ROLLBACK;");
        }
    }
    bool active() const { return active_; }
    bool Commit()
    {
        if (!active_) {
            return false;
        }
        if (!Exec(db_, "COMMIT;")) {
            return false; // the destructor rolls back
        }
        active_ = false;
        return true;
    }
    void Rollback()
    {
        if (active_) {
            Exec(db_, "ROLLBACK;");
            active_ = false;
        }
    }

private:
    sqlite3* db_;
    bool active_ = false;
};

} // namespace zyr::server::sqlite
