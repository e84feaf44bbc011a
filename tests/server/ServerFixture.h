// An in-process security server over a fresh SQLite file: store, service and
// request page, without sockets.
#pragma once

#include "server/core/AuditGate.h"
#include "server/core/Router.h"
#include "server/core/SecurityService.h"
#include "server/core/SecurityStore.h"

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

class ServerFixture {
public:
    explicit ServerFixture(bool testControls = true);

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

    TempDir dir;
    std::string dbPath;
    std::unique_ptr<SecurityStore> store;
    AuditGate gate;
    std::unique_ptr<SecurityService> service;
    std::unique_ptr<Router> router;
};

// The trailer every changing request carries.
inline const std::string kTrailer = "&User=CORP%5Cjdoe&Computer=PC01";

} // namespace zyr::server::test
