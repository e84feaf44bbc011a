#include "tests/server/ServerProcess.h"

#include "tests/support/Loopback.h"
#include "tests/support/SocketReads.h"

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
    fd_ = zyr::test::ConnectLoopback(port);
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
    auto ready = [&]() {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, kWaitMs) > 0;
    };
    size_t end = zyr::test::ReceiveHeaderBlock(fd_, pending_, ready);
    if (end == std::string::npos) {
        return reply;
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
    if (!zyr::test::ReceiveAtLeast(fd_, pending_, length, ready)) {
        return reply;
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
