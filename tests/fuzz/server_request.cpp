// Fuzzes whole requests through the request page, the service and a real
// SQLite store: the first line is "METHOD TARGET", the rest is the body.
#include "server/http/TestControls.h"
#include "server/service/AuditGate.h"
#include "server/service/SecurityService.h"
#include "server/storage/SecurityStore.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

struct Server {
    Server()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zyr-fuzz-XXXXXX").string();
        dir = mkdtemp(pattern.data()) ? pattern : std::filesystem::temp_directory_path().string();
        std::string reason;
        store = zyr::server::OpenSqliteStore(dir + "/fuzz.db", reason);
        if (!store) {
            std::abort();
        }
        service = std::make_unique<zyr::server::SecurityService>(*store, gate);
        service->Start(reason);
        router = zyr::server::MakeRequestHandler(*service, gate, true);
    }
    ~Server()
    {
        router.reset();
        service.reset();
        store.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
    std::unique_ptr<zyr::server::SecurityStore> store;
    zyr::server::AuditGate gate;
    std::unique_ptr<zyr::server::SecurityService> service;
    std::unique_ptr<zyr::server::RequestHandler> router;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Server server;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t eol = input.find('\n');
    std::string_view line = input.substr(0, eol);
    std::string_view body = eol == std::string_view::npos ? std::string_view{} : input.substr(eol + 1);
    size_t space = line.find(' ');
    std::string_view method = line.substr(0, space);
    std::string_view target = space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);
    zyr::server::HttpReply reply = server.router->Handle(method, target, body);
    // Delays are answered by the listener; nothing here waits for them.
    if (reply.status < 100 || reply.status > 999) {
        __builtin_trap();
    }
    return 0;
}
