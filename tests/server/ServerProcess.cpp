#include "tests/server/ServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace zyr::server::test {

namespace {

std::string ServerBinary()
{
    const char* dir = std::getenv("ZYR_BIN_DIR");
    if (dir) {
        return std::string(dir) + "/zyr-security-server";
    }
    // Run by hand from the build folder.
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "zyr-security-server").string();
}

constexpr int kWaitMs = 20000;

} // namespace

ServerProcess::~ServerProcess()
{
    if (pid_ > 0) {
        Kill();
    }
}

bool ServerProcess::Start(const std::vector<std::string>& args)
{
    int out[2];
    if (pipe(out) != 0) {
        return false;
    }
    std::string binary = ServerBinary();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<std::string> all = {binary, "--listen", "127.0.0.1:0", "--log-level", "warning"};
        all.insert(all.end(), args.begin(), args.end());
        // Without a way of authentication of their own, the tests ask for none.
        if (std::find(args.begin(), args.end(), "--auth") == args.end()) {
            all.push_back("--insecure-no-auth");
        }
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        return false;
    }
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (poll(&p, 1, kWaitMs) > 0 && read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(out[0]);
    const std::string prefix = "listening on ";
    if (line.rfind(prefix, 0) != 0) {
        return false;
    }
    if (line.rfind(prefix + "unix:", 0) == 0) {
        return true; // no port on a Unix socket
    }
    port_ = std::atoi(line.c_str() + line.rfind(':') + 1);
    return port_ > 0;
}

int ServerProcess::Stop()
{
    if (pid_ <= 0) {
        return -1;
    }
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ServerProcess::Kill()
{
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

RawConnection::RawConnection(int port)
{
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

RawConnection::~RawConnection()
{
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool RawConnection::Send(const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool RawConnection::ClosedByServer()
{
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, kWaitMs) <= 0) {
        return false;
    }
    char c;
    return recv(fd_, &c, 1, 0) <= 0;
}

RawReply RawConnection::Read()
{
    RawReply reply;
    auto fill = [&]() {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, kWaitMs) <= 0) {
            return false;
        }
        char buffer[65536];
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(n));
        return true;
    };
    size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
        if (!fill()) {
            return reply;
        }
    }
    reply.rawHeaders = pending_.substr(0, end + 2);
    pending_.erase(0, end + 4);
    reply.status = std::atoi(reply.rawHeaders.c_str() + 9);
    size_t pos = reply.rawHeaders.find("\r\n") + 2;
    while (pos < reply.rawHeaders.size()) {
        size_t eol = reply.rawHeaders.find("\r\n", pos);
        std::string line = reply.rawHeaders.substr(pos, eol - pos);
        size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            for (char& c : name) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            reply.headers[name] = value;
        }
        pos = eol + 2;
    }
    size_t length = reply.headers.count("content-length") ? std::stoul(reply.headers["content-length"]) : 0;
    while (pending_.size() < length) {
        if (!fill()) {
            return reply;
        }
    }
    reply.body = pending_.substr(0, length);
    pending_.erase(0, length);
    reply.complete = true;
    return reply;
}

RawReply Request(int port, const std::string& method, const std::string& query, const std::string& body)
{
    RawConnection c(port);
    std::string text = method + " /zyr/security" + (query.empty() ? "" : "?" + query) +
                       " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (method == "POST") {
        text += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n";
    }
    text += "\r\n" + body;
    if (!c.connected() || !c.Send(text)) {
        return {};
    }
    return c.Read();
}

} // namespace zyr::server::test
