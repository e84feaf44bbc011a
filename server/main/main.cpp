// zyr-security-server: the reference security server.
#include "server/http/HttpServer.h"
#include "server/http/TestControls.h"
#include "server/main/ServerOptions.h"
#include "server/main/ServiceNotify.h"
#include "server/service/ChangeRight.h"
#include "server/service/SecurityService.h"
#include "server/service/Seeder.h"
#include "server/service/ServerLog.h"
#include "server/storage/SecurityStore.h"

#include "ZyrVersion.h"

#include <csignal>
#include <cstdio>
#include <ctime>

using namespace zyr::server;

namespace {

// A database whose console object has an empty access-control list lets every
// authenticated account change it.
void WarnWhenNotSecured(SecurityStore& store, AuthMode auth)
{
    std::vector<ApplicationRecord> applications;
    std::string acl;
    if (auth != AuthMode::None &&
        store.ListApplicationNamed(std::string(kConsoleApplication), applications) &&
        FindConsoleAcl(applications, acl) && acl.empty()) {
        LogWarning("the console object has an empty access-control list: every authenticated account may "
                   "change the security database");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (zyr::PrintVersion(argc, argv, "zyr-security-server")) {
        return 0;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    ServerOptions options;
    std::string message;
    if (!ParseServerOptions(args, options, message)) {
        std::fputs(message.c_str(), args.empty() || message.rfind("usage", 0) != 0 ? stderr : stdout);
        return message.rfind("usage", 0) == 0 ? 0 : 2;
    }
    SetLogLevel(options.logLevel);
    std::signal(SIGPIPE, SIG_IGN);
    // A reload asked for before the server serves has nothing to read again;
    // the server takes SIGHUP over once it runs.
    std::signal(SIGHUP, SIG_IGN);

    std::string reason;
    // One connection per request thread, and one for the seed.
    auto store =
        OpenStore(options.database, reason, options.fullSync, static_cast<size_t>(options.http.threads) + 1);
    if (!store) {
        LogError("cannot open the database: " + reason);
        return 1;
    }
    bool seeded = false;
    std::time_t now = std::time(nullptr);
    if (options.seed == ServerOptions::Seed::Demo) {
        std::string admin = options.seedAdmin.empty() ? DefaultAdminAccount() : options.seedAdmin;
        if (!SeedDemo(*store, admin, now, seeded, reason)) {
            LogError("cannot seed the demo database: " + reason);
            return 1;
        }
        LogInfo(seeded ? "seeded the demo database; security administrator: " + admin
                       : "the database already holds data; not seeded");
    } else if (options.seed == ServerOptions::Seed::Large) {
        if (!SeedLarge(*store, options.large, now, seeded, reason)) {
            LogError("cannot seed the large database: " + reason);
            return 1;
        }
        LogInfo(seeded ? "seeded the large database" : "the database already holds data; not seeded");
    }

    AuditGate gate;
    SecurityService service(*store, gate);
    if (!service.Start(reason)) {
        LogError(reason);
        return 1;
    }
    std::unique_ptr<RequestHandler> handler = MakeRequestHandler(service, gate, options.testControls);
    HttpServer server(*handler, options.http);
    if (!server.Start(reason)) {
        LogError(reason);
        return 1;
    }
    std::printf("listening on %s\n", server.Endpoint().c_str());
    WarnWhenNotSecured(*store, server.Auth());
    std::fflush(stdout);
    NotifyServiceManager("READY=1\nSTATUS=listening on " + server.Endpoint());
    if (options.testControls) {
        LogWarning("test controls are enabled");
    }
    server.Run(true);
    NotifyServiceManager("STOPPING=1");
    LogInfo("stopped");
    return 0;
}
