#include "tests/support/ReferenceServer.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zyr::test {

ReferenceServer::~ReferenceServer()
{
    Stop();
}

std::string ReferenceServer::ExecutablePath()
{
    const char* dir = std::getenv("ZYR_BIN_DIR");
    if (dir != nullptr && *dir != '\0') {
        return std::string(dir) + "/zyr-security-server";
    }
    // Test and bench programs are built into the same folder as the server.
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (error ? std::filesystem::path(".") : self.parent_path()).string() + "/zyr-security-server";
}

bool ReferenceServer::Available()
{
    return access(ExecutablePath().c_str(), X_OK) == 0;
}

bool ReferenceServer::Start(const std::vector<std::string>& extraArgs)
{
    Stop();
    std::string pattern = (std::filesystem::temp_directory_path() / "zyr-reference-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return false;
    }
    folder_ = pattern;
    std::vector<std::string> args = {"--db", folder_ + "/security.db"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return Launch(args);
}

bool ReferenceServer::Launch(const std::vector<std::string>& args)
{
    if (pid_ > 0) {
        Kill();
    }
    const std::string executable = ExecutablePath();
    if (access(executable.c_str(), X_OK) != 0) {
        return false;
    }
    std::vector<std::string> all = {executable, "--listen", "127.0.0.1:0"};
    all.insert(all.end(), args.begin(), args.end());
    // Tests that bring no way of authentication of their own ask for none.
    if (std::find(args.begin(), args.end(), "--auth") == args.end() &&
        std::find(args.begin(), args.end(), "--insecure-no-auth") == args.end()) {
        all.push_back("--insecure-no-auth");
    }

    int out[2];
    if (pipe(out) != 0) {
        return false;
    }
    pid_ = fork();
    if (pid_ < 0) {
        close(out[0]);
        close(out[1]);
        return false;
    }
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    // "listening on 127.0.0.1:PORT" on the first line.
    std::string line;
    // A large seed writes millions of records before the server listens.
    const bool largeSeed =
        std::any_of(all.begin(), all.end(), [](const std::string& a) { return a.rfind("large:", 0) == 0; });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(largeSeed ? 600 : 20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buffer[256];
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        line.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    if (line.rfind("listening on unix:", 0) == 0) {
        return true; // a Unix socket has no port
    }
    const size_t end = line.find('\n');
    const size_t colon = end == std::string::npos ? std::string::npos : line.rfind(':', end);
    port_ = line.rfind("listening on ", 0) == 0 && colon != std::string::npos
                ? std::atoi(line.c_str() + colon + 1)
                : 0;
    if (port_ <= 0) {
        Kill();
        return false;
    }
    return true;
}

int ReferenceServer::Stop()
{
    int status = -1;
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        // Longer than the server's own grace for requests in flight (10 s):
        // a loaded machine may slow a stop, only a server that hangs is killed.
        for (int i = 0; i < 150 && pid_ > 0; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
            } else {
                usleep(100000);
            }
        }
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    pid_ = -1;
    port_ = 0;
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folder_.clear();
    }
    return status;
}

void ReferenceServer::Kill()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    port_ = 0;
}

std::string ReferenceServer::RequestUrl() const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/zyr/security";
}

} // namespace zyr::test
