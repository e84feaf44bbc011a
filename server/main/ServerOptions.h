// The command line of zyr-security-server.
#pragma once

#include "server/http/HttpServer.h"
#include "server/service/Seeder.h"
#include "server/service/ServerLog.h"

#include <string>
#include <vector>

namespace zyr::server {

struct ServerOptions {
    HttpServerOptions http;
    std::string database;
    enum class Seed { None, Demo, Large } seed = Seed::None;
    LargeSeed large;
    std::string seedAdmin; // empty: the account running the server
    bool testControls = false;
    bool fullSync = true; // --sync full|normal
    LogLevel logLevel = LogLevel::Info;
};

// False with a message (usage included) when the arguments are wrong.
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& out, std::string& message);

} // namespace zyr::server
