#include "tests/server/ServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zyr::server::test {

namespace {

constexpr int kWaitMs = 20000;

} // namespace

bool ServerProcess::Start(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"--log-level", "warning"};
    all.insert(all.end(), args.begin(), args.end());
    return server_.Launch(all);
}

int ServerProcess::Stop()
{
    const int status = server_.Stop();
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
