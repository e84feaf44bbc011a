// The reference security server in a child process, on a free loopback port,
// with a database of its own seeded with the demo data and the test controls
// on. Tests skip when the server has not been built.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace zyr::testing {

class ReferenceServer {
public:
    ReferenceServer() = default;
    ~ReferenceServer() { Stop(); }
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;

    static std::string Program()
    {
        const char* dir = std::getenv("ZYR_BIN_DIR");
        return std::string(dir != nullptr ? dir : ZYR_TEST_BIN_DIR) + "/zyr-security-server";
    }
    static bool Available() { return access(Program().c_str(), X_OK) == 0; }

    // False when the server does not report its port within ten seconds.
    bool Start(const std::string& databasePath)
    {
        int out[2];
        if (pipe(out) != 0) {
            return false;
        }
        std::string program = Program();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            execl(program.c_str(), program.c_str(), "--listen", "127.0.0.1:0", "--insecure-no-auth", "--db",
                  databasePath.c_str(), "--seed", "demo", "--enable-test-controls", "--log-level", "error",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) {
                continue;
            }
            char c;
            if (read(out[0], &c, 1) != 1) {
                break;
            }
            line += c;
        }
        close(out[0]);
        size_t colon = line.rfind(':');
        if (line.rfind("listening on ", 0) != 0 || colon == std::string::npos) {
            return false;
        }
        port_ = std::atoi(line.c_str() + colon + 1);
        return port_ > 0;
    }

    void Stop()
    {
        if (pid_ <= 0) {
            return;
        }
        // A server still holding a kept-alive connection of the test gets a
        // moment to end, then is stopped for good.
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 20 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            usleep(50 * 1000);
            if (i == 19) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
        }
        pid_ = -1;
    }

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/zyr/security"; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace zyr::testing
