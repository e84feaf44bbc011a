// The reference security server in a child process, on a free loopback port,
// with a database of its own in a fresh temporary folder.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zyr::test {

class ReferenceServer {
public:
    ReferenceServer() = default;
    // Stops the server and removes its folder.
    ~ReferenceServer();
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;

    // Starts build/bin/zyr-security-server --listen 127.0.0.1:0 --db <folder>/security.db
    // with the extra arguments ("--seed", "demo", "--enable-test-controls")
    // and waits for the port it prints. False when it does not start.
    bool Start(const std::vector<std::string>& extraArgs);
    // Starts the server with --listen 127.0.0.1:0 and these arguments only
    // (the caller names the database); false when it reports no port within
    // twenty seconds, and a server that started is then stopped.
    bool Launch(const std::vector<std::string>& args);
    // SIGTERM, then SIGKILL when it has not ended within fifteen seconds; the
    // wait status of the server, -1 when none was running.
    int Stop();
    // SIGKILL and wait.
    void Kill();

    bool IsRunning() const { return pid_ > 0 && port_ > 0; }
    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // "http://127.0.0.1:PORT/zyr/security": the URL of the request page.
    std::string RequestUrl() const;
    // Where the executable is looked for (ZYR_BIN_DIR, else the build folder).
    static std::string ExecutablePath();
    static bool Available();

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string folder_;
};

} // namespace zyr::test
