// The real zyr-security-server in a child process on a free loopback port,
// and a raw HTTP client that sends exactly the bytes it is given.
#pragma once

#include "tests/support/ReferenceServer.h"

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace zyr::server::test {

class ServerProcess {
public:
    // Starts the server with --listen 127.0.0.1:0 and the given arguments;
    // (and --insecure-no-auth unless they hold --auth); false when it does not
    // report where it listens.
    bool Start(const std::vector<std::string>& args);
    // SIGTERM and wait; the exit status (or -1).
    int Stop();
    // SIGKILL and wait.
    void Kill() { server_.Kill(); }
    int port() const { return server_.Port(); }
    pid_t pid() const { return server_.Pid(); }

private:
    zyr::test::ReferenceServer server_;
};

struct RawReply {
    bool complete = false; // a whole response was read
    int status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    std::string rawHeaders;
    std::string body;
};

// One connection: connect, send, read one response (or until the server
// closes). An empty reply with complete false means the server closed.
class RawConnection {
public:
    explicit RawConnection(int port);
    ~RawConnection();
    bool connected() const { return fd_ >= 0; }
    bool Send(const std::string& bytes);
    RawReply Read();
    // True when the server closed the connection (read returns 0 or fails).
    bool ClosedByServer();

private:
    int fd_ = -1;
    std::string pending_;
};

// A request with the usual headers, on a fresh connection.
RawReply Request(int port, const std::string& method, const std::string& query, const std::string& body = {});

} // namespace zyr::server::test
