// An in-process security server over a fresh database (a SQLite file, or a
// PostgreSQL database of its own): store, service and request page, without
// sockets.
#pragma once

#include "server/http/TestControls.h"
#include "server/service/AuditGate.h"
#include "server/service/SecurityService.h"
#include "server/storage/SecurityStore.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zyr::server::test {

// A temporary folder removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

enum class Backend { Sqlite, Postgres };

// The PostgreSQL cluster the tests may use: the libpq key=value settings in
// ZYR_TEST_PG (scripts/test starts one), empty when there is none.
std::string PgTestCluster();

// The database of one test: a SQLite file in a temporary folder, or a
// database of its own in the test cluster, dropped with the object.
class TestDatabase {
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // False for PostgreSQL when there is no test cluster or no database could be made.
    bool available() const { return !location_.empty(); }
    // What --db takes: the file's path or the connection string.
    const std::string& location() const { return location_; }
    std::unique_ptr<SecurityStore> Open(std::string& reason, size_t connections = 2) const;

    const Backend backend;

private:
    TempDir dir_;
    std::string location_;
    std::string name_; // of the PostgreSQL database
};

// A test run once per backend; the PostgreSQL run is skipped without a test cluster.
class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        if (GetParam() == Backend::Postgres && PgTestCluster().empty()) {
            GTEST_SKIP() << "no PostgreSQL test cluster (ZYR_TEST_PG)";
        }
    }
};

inline const char* BackendLabel(Backend backend)
{
    return backend == Backend::Sqlite ? "Sqlite" : "Postgres";
}

#define ZYR_ON_BOTH_BACKENDS(Suite)                                                                          \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::Values(Backend::Sqlite, Backend::Postgres),         \
                             [](const auto& info) { return std::string(BackendLabel(info.param)); })

class ServerFixture {
public:
    explicit ServerFixture(bool testControls = true) : ServerFixture(Backend::Sqlite, testControls) {}
    explicit ServerFixture(Backend backend, bool testControls = true);

    HttpReply Get(const std::string& query) { return router->Handle("GET", "/zyr/security?" + query, {}); }
    // The body goes out as the console sends it: with a final zero byte.
    HttpReply Post(const std::string& query, const std::string& body)
    {
        return router->Handle("POST", "/zyr/security?" + query, body + std::string(1, '\0'));
    }

    // The records of a list reply: the children of its list element but the last.
    std::vector<pugi::xml_node> Records(pugi::xml_document& doc, const std::string& body, const char* list);
    std::vector<std::string> Texts(pugi::xml_node record);

    std::vector<AuditRecord> AuditTrail(); // newest first, first page

    TestDatabase database;
    std::string dbPath; // the location of the database
    std::unique_ptr<SecurityStore> store;
    AuditGate gate;
    std::unique_ptr<SecurityService> service;
    std::unique_ptr<RequestHandler> router;
};

// The trailer every changing request carries.
inline const std::string kTrailer = "&User=CORP%5Cjdoe&Computer=PC01";

} // namespace zyr::server::test
