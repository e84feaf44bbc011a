#include "tests/server/ServerFixture.h"

#include <gtest/gtest.h>

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

ServerFixture::ServerFixture(bool testControls)
{
    dbPath = (dir.path() / "security.db").string();
    std::string reason;
    store = OpenSqliteStore(dbPath, reason);
    EXPECT_TRUE(store) << reason;
    service = std::make_unique<SecurityService>(*store, gate);
    EXPECT_TRUE(service->Start(reason)) << reason;
    router = std::make_unique<Router>(*service, gate, testControls);
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
