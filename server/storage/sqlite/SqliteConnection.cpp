#include "server/storage/sqlite/SqliteConnection.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zyr::server::sqlite {

bool Exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool PrepareDatabaseFile(const std::string& path, std::string& reason)
{
    if (path.empty() || path == ":memory:" || path.rfind("file:", 0) == 0) {
        return true;
    }
    // Missing folders on the way are made for the server alone.
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            reason = "cannot make the folder " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    // The write-ahead log and the shared-memory file take the database
    // file's mode, so all three are the server's alone.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600); // whatever the umask
        ::close(fd);
    } else if (errno != EEXIST) {
        reason = "cannot make the database " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

sqlite3* OpenConnection(const std::string& path, bool create, std::string& reason)
{
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        reason = db ? sqlite3_errmsg(db) : "cannot open the database";
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_extended_result_codes(db, 1);
    if (!Exec(db, "PRAGMA foreign_keys=ON;") || !Exec(db, "PRAGMA synchronous=FULL;")) {
        reason = sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

} // namespace zyr::server::sqlite
