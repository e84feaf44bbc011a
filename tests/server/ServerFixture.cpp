#include "tests/server/ServerFixture.h"

#include "server/storage/postgres/PgConnection.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace zyr::server::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zyr-server-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    path_ = made ? std::filesystem::path(made) : std::filesystem::temp_directory_path();
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string PgTestCluster()
{
    const char* settings = std::getenv("ZYR_TEST_PG");
    return settings ? settings : "";
}

TestDatabase::TestDatabase(Backend backend) : backend(backend)
{
    if (backend == Backend::Sqlite) {
        location_ = (dir_.path() / "security.db").string();
        return;
    }
    std::string cluster = PgTestCluster();
    if (cluster.empty()) {
        return;
    }
    static std::atomic<int> counter{0};
    std::string name = "zyr_test_" + std::to_string(getpid()) + "_" + std::to_string(counter.fetch_add(1));
    pg::Connection admin(cluster, true);
    // A database name cannot be a parameter; this one is made of digits and letters only.
    if (!admin.ok() || !admin.Script("CREATE DATABASE " + name)) {
        ADD_FAILURE() << "cannot make a test database: " << admin.Error();
        return;
    }
    name_ = name;
    // A later setting of the same key wins.
    location_ = cluster + " dbname=" + name;
}

TestDatabase::~TestDatabase()
{
    if (!name_.empty()) {
        pg::Connection admin(PgTestCluster(), true);
        admin.Script("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    }
}

std::unique_ptr<SecurityStore> TestDatabase::Open(std::string& reason, size_t connections) const
{
    if (backend == Backend::Sqlite) {
        return OpenSqliteStore(location_, reason);
    }
    return OpenPgStore(location_, reason, true, connections);
}

ServerFixture::ServerFixture(Backend backend, bool testControls) : database(backend)
{
    dbPath = database.location();
    if (!database.available()) {
        return; // the test skips
    }
    std::string reason;
    store = database.Open(reason);
    EXPECT_TRUE(store) << reason;
    if (!store) {
        return;
    }
    service = std::make_unique<SecurityService>(*store, gate);
    EXPECT_TRUE(service->Start(reason)) << reason;
    router = MakeRequestHandler(*service, gate, testControls);
}

std::vector<pugi::xml_node> ServerFixture::Records(pugi::xml_document& doc, const std::string& body,
                                                   const char* list)
{
    std::vector<pugi::xml_node> out;
    EXPECT_TRUE(doc.load_string(body.c_str())) << body.substr(0, 200);
    pugi::xml_node node = doc.child("DOCUMENT").child(list);
    EXPECT_TRUE(node) << list;
    std::vector<pugi::xml_node> children;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        EXPECT_EQ(c.type(), pugi::node_element);
        children.push_back(c);
    }
    EXPECT_FALSE(children.empty()) << "the trailing element is missing";
    if (!children.empty()) {
        children.pop_back();
    }
    return children;
}

std::vector<std::string> ServerFixture::Texts(pugi::xml_node record)
{
    std::vector<std::string> out;
    for (pugi::xml_node c = record.first_child(); c; c = c.next_sibling()) {
        out.emplace_back(c.child_value());
    }
    return out;
}

std::vector<AuditRecord> ServerFixture::AuditTrail()
{
    std::vector<AuditRecord> out;
    EXPECT_TRUE(store->GetAuditPage(0, out));
    return out;
}

} // namespace zyr::server::test
