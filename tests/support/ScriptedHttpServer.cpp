#include "tests/support/ScriptedHttpServer.h"

#include "platform/text/Ascii.h"
#include "tests/support/SocketReads.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace zyr::test {

namespace {

using text::EqualsAsciiNoCase;

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

const std::string* FindHeader(const HeaderList& headers, std::string_view name)
{
    for (const auto& [key, value] : headers) {
        if (EqualsAsciiNoCase(key, name)) {
            return &value;
        }
    }
    return nullptr;
}

bool SendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

} // namespace

std::string RecordedRequest::Header(std::string_view name) const
{
    const std::string* value = FindHeader(headers, name);
    return value ? *value : std::string();
}

bool RecordedRequest::HasHeader(std::string_view name) const
{
    return FindHeader(headers, name) != nullptr;
}

size_t RecordedRequest::HeaderCount(std::string_view name) const
{
    return static_cast<size_t>(std::count_if(
        headers.begin(), headers.end(), [&](const auto& h) { return EqualsAsciiNoCase(h.first, name); }));
}

std::string_view ReasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 411:
        return "Length Required";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

struct ScriptedHttpServer::State {
    int listenFd = -1;
    int stopFd = -1; // an eventfd that becomes readable, for good, on Stop
    uint16_t port = 0;
    bool listening = false;
    std::atomic<bool> stopping{false};
    std::thread acceptor;

    mutable std::mutex mutex;
    std::deque<ScriptedReply> queue;
    ScriptedReply defaultReply{.status = 404};
    Handler handler;
    std::vector<RecordedRequest> requests;
    size_t connections = 0;
    // One thread per connection; those whose connection has ended are joined
    // when the next connection arrives.
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers;
    std::set<int> openFds;

    // Waits up to timeout for fd to become readable; false on stop or timeout.
    bool WaitReadable(int fd, int timeoutMs) const
    {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        for (;;) {
            int ready = ::poll(fds, 2, timeoutMs);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            return ready > 0 && !(fds[1].revents & POLLIN) && fds[0].revents != 0;
        }
    }

    // Sleeps for the given time; false when the server stops meanwhile.
    bool Pause(std::chrono::milliseconds time) const
    {
        if (time.count() <= 0) {
            return !stopping;
        }
        pollfd fd{stopFd, POLLIN, 0};
        auto until = std::chrono::steady_clock::now() + time;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return !stopping;
            }
            int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
            if (ready > 0) {
                return false;
            }
        }
    }

    void Accept()
    {
        while (WaitReadable(listenFd, -1)) {
            int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            std::lock_guard lock(mutex);
            if (stopping) {
                ::close(fd);
                break;
            }
            size_t id = ++connections;
            openFds.insert(fd);
            std::erase_if(workers, [](Worker& worker) {
                if (!*worker.done) {
                    return false;
                }
                worker.thread.join();
                return true;
            });
            auto done = std::make_shared<std::atomic<bool>>(false);
            workers.push_back({std::thread([this, fd, id, done] {
                                   Serve(fd, id);
                                   *done = true;
                               }),
                               done});
        }
    }

    // Reads one request from fd (pending holds bytes read ahead). Returns the
    // request, or nothing when the connection ended; sets refuse when the
    // request cannot be read (chunked body).
    std::optional<RecordedRequest> ReadRequest(int fd, std::string& pending, bool& refuse)
    {
        auto ready = [&]() { return WaitReadable(fd, -1); };
        size_t end = ReceiveHeaderBlock(fd, pending, ready);
        if (end == std::string::npos) {
            return std::nullopt;
        }
        std::string_view head(pending.data(), end);
        RecordedRequest request;
        size_t lineEnd = head.find("\r\n");
        std::string_view line = head.substr(0, lineEnd);
        size_t s1 = line.find(' ');
        size_t s2 = line.rfind(' ');
        if (s1 == std::string_view::npos || s2 == s1) {
            refuse = true;
            return std::nullopt;
        }
        request.method = line.substr(0, s1);
        request.target = line.substr(s1 + 1, s2 - s1 - 1);
        request.version = line.substr(s2 + 1);
        while (lineEnd != std::string_view::npos) {
            size_t next = head.find("\r\n", lineEnd + 2);
            std::string_view field =
                head.substr(lineEnd + 2, next == std::string_view::npos ? head.npos : next - lineEnd - 2);
            lineEnd = next;
            size_t colon = field.find(':');
            if (colon == std::string_view::npos) {
                continue;
            }
            request.headers.emplace_back(std::string(field.substr(0, colon)),
                                         std::string(Trim(field.substr(colon + 1))));
        }
        pending.erase(0, end + 4);

        if (const std::string* te = FindHeader(request.headers, "Transfer-Encoding");
            te && !EqualsAsciiNoCase(*te, "identity")) {
            refuse = true;
            return std::nullopt;
        }
        size_t length = 0;
        if (const std::string* cl = FindHeader(request.headers, "Content-Length")) {
            auto [ptr, ec] = std::from_chars(cl->data(), cl->data() + cl->size(), length);
            if (ec != std::errc() || ptr != cl->data() + cl->size()) {
                refuse = true;
                return std::nullopt;
            }
        }
        if (const std::string* expect = FindHeader(request.headers, "Expect");
            expect && EqualsAsciiNoCase(*expect, "100-continue") && pending.size() < length) {
            if (!SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n")) {
                return std::nullopt;
            }
        }
        if (!ReceiveAtLeast(fd, pending, length, ready)) {
            return std::nullopt;
        }
        request.body = pending.substr(0, length);
        pending.erase(0, length);
        return request;
    }

    ScriptedReply Choose(const RecordedRequest& request)
    {
        Handler current;
        {
            std::lock_guard lock(mutex);
            requests.push_back(request);
            if (!handler && !queue.empty()) {
                ScriptedReply reply = std::move(queue.front());
                queue.pop_front();
                return reply;
            }
            if (!handler) {
                return defaultReply;
            }
            current = handler;
        }
        return current(request);
    }

    static bool WantsClose(const RecordedRequest& request)
    {
        std::string connection = request.Header("Connection");
        if (request.version == "HTTP/1.0") {
            return !EqualsAsciiNoCase(connection, "keep-alive");
        }
        return EqualsAsciiNoCase(connection, "close");
    }

    // Answers one request; false when the connection is to be closed.
    bool Answer(int fd, const RecordedRequest& request, const ScriptedReply& reply)
    {
        if (!Pause(reply.delay) || reply.dropConnection) {
            return false;
        }
        if (!reply.raw.empty()) {
            return SendAll(fd, reply.raw) && !reply.closeAfter && !WantsClose(request);
        }
        bool close = reply.closeAfter || reply.omitContentLength || WantsClose(request);
        std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " ";
        head += reply.reason.empty() ? std::string(ReasonPhrase(reply.status)) : reply.reason;
        head += "\r\n";
        for (const auto& [name, value] : reply.headers) {
            head += name + ": " + value + "\r\n";
        }
        bool noBody = request.method == "HEAD" || reply.status == 204 || reply.status == 304 ||
                      (reply.status >= 100 && reply.status < 200);
        bool chunked = reply.chunkSize > 0 && !noBody;
        if (chunked) {
            head += "Transfer-Encoding: chunked\r\n";
        } else if (!reply.omitContentLength && !noBody && !FindHeader(reply.headers, "Content-Length")) {
            head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        }
        if (close && !FindHeader(reply.headers, "Connection")) {
            head += "Connection: close\r\n";
        }
        head += "\r\n";
        if (!SendAll(fd, head) || !Pause(reply.delayBeforeBody)) {
            return false;
        }
        if (chunked) {
            char size[32];
            for (size_t at = 0; at < reply.body.size(); at += reply.chunkSize) {
                std::string_view piece = std::string_view(reply.body).substr(at, reply.chunkSize);
                std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                if (!SendAll(fd, size) || !SendAll(fd, piece) || !SendAll(fd, "\r\n")) {
                    return false;
                }
            }
            if (!SendAll(fd, "0\r\n\r\n")) {
                return false;
            }
        } else if (!noBody && !SendAll(fd, reply.body)) {
            return false;
        }
        return !close;
    }

    void Serve(int fd, size_t id)
    {
        std::string pending;
        for (;;) {
            bool refuse = false;
            std::optional<RecordedRequest> request = ReadRequest(fd, pending, refuse);
            if (!request) {
                if (refuse) {
                    SendAll(fd,
                            "HTTP/1.1 411 Length Required\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                }
                break;
            }
            request->connection = id;
            ScriptedReply reply = Choose(*request);
            if (!Answer(fd, *request, reply)) {
                break;
            }
        }
        std::lock_guard lock(mutex);
        openFds.erase(fd);
        ::close(fd);
    }
};

ScriptedHttpServer::ScriptedHttpServer() : state_(std::make_shared<State>())
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (Listen(AF_INET, reinterpret_cast<sockaddr*>(&address), sizeof address)) {
        state_->port = ntohs(address.sin_port);
    }
}

ScriptedHttpServer::ScriptedHttpServer(const std::string& socketPath) : state_(std::make_shared<State>())
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        return;
    }
    socketPath.copy(address.sun_path, socketPath.size());
    ::unlink(socketPath.c_str());
    Listen(AF_UNIX, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

bool ScriptedHttpServer::Listen(int family, sockaddr* address, unsigned size)
{
    State& s = *state_;
    s.stopFd = ::eventfd(0, EFD_CLOEXEC);
    s.listenFd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s.stopFd < 0 || s.listenFd < 0) {
        return false;
    }
    if (::bind(s.listenFd, address, size) != 0 || ::listen(s.listenFd, 64) != 0 ||
        ::getsockname(s.listenFd, address, &size) != 0) {
        ::close(s.listenFd);
        s.listenFd = -1;
        return false;
    }
    s.listening = true;
    s.acceptor = std::thread([&s] { s.Accept(); });
    return true;
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    Stop();
    if (state_->listenFd >= 0) {
        ::close(state_->listenFd);
    }
    if (state_->stopFd >= 0) {
        ::close(state_->stopFd);
    }
}

void ScriptedHttpServer::Stop()
{
    State& s = *state_;
    if (s.stopping.exchange(true)) {
        return;
    }
    if (s.stopFd >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(s.stopFd, &one, sizeof one);
    }
    if (s.acceptor.joinable()) {
        s.acceptor.join();
    }
    std::vector<State::Worker> workers;
    {
        std::lock_guard lock(s.mutex);
        for (int fd : s.openFds) {
            ::shutdown(fd, SHUT_RDWR);
        }
        workers.swap(s.workers);
    }
    for (auto& worker : workers) {
        worker.thread.join();
    }
}

bool ScriptedHttpServer::IsRunning() const
{
    return state_->listening && !state_->stopping;
}

uint16_t ScriptedHttpServer::Port() const
{
    return state_->port;
}

std::string ScriptedHttpServer::Url(std::string_view target) const
{
    return "http://127.0.0.1:" + std::to_string(state_->port) + std::string(target);
}

void ScriptedHttpServer::Enqueue(ScriptedReply reply)
{
    std::lock_guard lock(state_->mutex);
    state_->queue.push_back(std::move(reply));
}

void ScriptedHttpServer::SetDefaultReply(ScriptedReply reply)
{
    std::lock_guard lock(state_->mutex);
    state_->defaultReply = std::move(reply);
}

void ScriptedHttpServer::SetHandler(Handler handler)
{
    std::lock_guard lock(state_->mutex);
    state_->handler = std::move(handler);
}

std::vector<RecordedRequest> ScriptedHttpServer::Requests() const
{
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::vector<std::string> ScriptedHttpServer::Queries() const
{
    std::vector<std::string> out;
    for (const auto& request : Requests()) {
        size_t mark = request.target.find('?');
        out.push_back(mark == std::string::npos ? std::string() : request.target.substr(mark));
    }
    return out;
}

size_t ScriptedHttpServer::RequestCount() const
{
    std::lock_guard lock(state_->mutex);
    return state_->requests.size();
}

size_t ScriptedHttpServer::ConnectionCount() const
{
    std::lock_guard lock(state_->mutex);
    return state_->connections;
}

void ScriptedHttpServer::Clear()
{
    std::lock_guard lock(state_->mutex);
    state_->requests.clear();
    state_->queue.clear();
}

} // namespace zyr::test
