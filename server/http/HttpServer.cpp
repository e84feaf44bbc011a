// The one translation unit that holds Boost.Beast and Boost.Asio.
#include "server/http/HttpServer.h"

#include "server/http/Authenticator.h"
#include "server/http/Listener.h"
#include "server/http/RequestStart.h"
#include "server/service/ServerLog.h"

// Boost 1.74 looks for coroutine support only in the form each compiler had
// then; clang with libstdc++ has the standard one.
#if defined(__clang__) && defined(__cpp_impl_coroutine) && !defined(BOOST_ASIO_HAS_CO_AWAIT)
#define BOOST_ASIO_HAS_CO_AWAIT 1
#define BOOST_ASIO_HAS_STD_COROUTINE 1
#endif

#include <boost/asio/basic_socket_acceptor.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/generic/stream_protocol.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <list>
#include <mutex>
#include <optional>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace zyr::server {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = net::ssl;
// TCP or Unix sockets alike.
using stream_protocol = net::generic::stream_protocol;
using Stream = beast::basic_stream<stream_protocol>;

namespace {

using Request = http::request<http::string_body>;

// Longest header line the parser can hold (its field sizes are 16-bit).
constexpr size_t kMaxFieldLine = 60000;
using Response = http::response<http::string_body>;

// Descriptors kept back from the connections for the database, the log and
// the listener when the limit on connections is sized from the open-files limit.
constexpr long kReservedDescriptors = 64;

int DefaultMaxConnections()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 1024;
    }
    long usable = static_cast<long>(limit.rlim_cur) - kReservedDescriptors;
    return static_cast<int>(std::clamp(usable * 3 / 4, 8L, 65536L));
}

// Holds a share of the bytes all bodies in flight may take.
class BodyReservation {
public:
    BodyReservation(std::atomic<size_t>& total, size_t limit, size_t bytes) : total_(total)
    {
        size_t now = total_.load();
        do {
            if (bytes > limit || now > limit - bytes) {
                return;
            }
        } while (!total_.compare_exchange_weak(now, now + bytes));
        bytes_ = bytes;
        held_ = true;
    }
    ~BodyReservation()
    {
        if (held_) {
            total_.fetch_sub(bytes_);
        }
    }
    BodyReservation(const BodyReservation&) = delete;
    BodyReservation& operator=(const BodyReservation&) = delete;
    bool Held() const { return held_; }

private:
    std::atomic<size_t>& total_;
    size_t bytes_ = 0;
    bool held_ = false;
};

// What the stop needs of a connection: a way to end it while it waits for
// its next request. Touched only on the connection's strand.
struct Connection {
    bool idle = true;
    std::function<void()> cancel;
    // Who is at the other end: the client's address, and with peer
    // authentication its account.
    std::string address;
    std::string peerAccount;
    // What HTTP authentication has proved on this connection.
    ConnectionProof proof;
};

} // namespace

struct HttpServer::Impl {
    Impl(RequestHandler& r, HttpServerOptions o)
        : router(r), options(std::move(o)), ioc(options.threads), acceptor(ioc), signals(ioc), grace(ioc),
          changes(static_cast<size_t>(std::max(1, options.changeThreads))),
          authenticator({options.auth != AuthMode::Negotiate,
                         options.auth == AuthMode::Negotiate || options.auth == AuthMode::NegotiateOrBasic,
                         options.keytab, options.realmDomains})
    {
        if (options.maxConnections <= 0) {
            options.maxConnections = DefaultMaxConnections();
        }
    }

    RequestHandler& router;
    HttpServerOptions options;
    Listener listener;
    net::io_context ioc;
    net::basic_socket_acceptor<stream_protocol> acceptor;
    net::signal_set signals;
    net::steady_timer grace;
    // Replaced as a whole when SIGHUP reads the certificate again; a
    // connection keeps the one it started with.
    std::mutex tlsMutex;
    std::shared_ptr<ssl::context> tls;
    bool useTls = false;
    std::atomic<bool> stopping{false};
    // Where the requests that may wait for a commit are served.
    net::thread_pool changes;
    std::atomic<size_t> bodiesInFlight{0};
    RepeatedWarning acceptWarning;
    HttpAuthenticator authenticator;

    std::mutex connectionsMutex;
    std::list<std::pair<net::any_io_executor, std::shared_ptr<Connection>>> connections;

    bool Start(std::string& reason);
    bool ChooseAuth(bool unixSocket, std::string& reason);
    bool LoadTls(std::string& reason);
    void WaitForSignal();
    void BeginStop();
    void ConnectionEnded();
    net::awaitable<void> Accept();
    template <class Stream>
    net::awaitable<void> Serve(Stream& stream, std::shared_ptr<Connection> connection);
    net::awaitable<void> Session(stream_protocol::socket socket);
    net::awaitable<void> RefuseBusy(stream_protocol::socket socket);
    net::awaitable<HttpReply> Handle(const Request& req, const std::string& account);
    // The caller's account, or the refusal to send instead of an answer;
    // mutual: the Negotiate token for the answer's WWW-Authenticate.
    std::optional<Response> Authenticate(const Request& req, Connection& connection, std::string& account,
                                         std::string& mutual);
};

namespace {

// The client's IP address without the port.
std::string RemoteAddress(const void* data, size_t size)
{
    char text[INET6_ADDRSTRLEN] = {};
    const auto* address = static_cast<const sockaddr*>(data);
    if (address->sa_family == AF_INET && size >= sizeof(sockaddr_in)) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(data)->sin_addr, text, sizeof(text));
    } else if (address->sa_family == AF_INET6 && size >= sizeof(sockaddr_in6)) {
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(data)->sin6_addr, text, sizeof(text));
    }
    return text[0] ? text : "unknown";
}

Response Plain(unsigned status, unsigned version, std::string body)
{
    Response res{static_cast<http::status>(status), version};
    res.set(http::field::server, "ZYR Security Server");
    res.set(http::field::content_type, "text/plain");
    res.body() = std::move(body);
    res.keep_alive(false);
    res.prepare_payload();
    return res;
}

// The answer to a request whose header or body could not be read.
Response ReadFailure(const beast::error_code& ec)
{
    bool tooBig = ec == http::error::body_limit;
    return Plain(tooBig ? 413 : 400, 11, tooBig ? "Payload Too Large" : "Bad Request");
}

} // namespace

std::optional<Response> HttpServer::Impl::Authenticate(const Request& req, Connection& connection,
                                                       std::string& account, std::string& mutual)
{
    account.clear();
    switch (options.auth) {
    case AuthMode::None:
    case AuthMode::Default:
        return std::nullopt;
    case AuthMode::Peer:
        if (connection.peerAccount.empty()) {
            return Plain(403, req.version(), "Forbidden: the calling account cannot be determined");
        }
        account = connection.peerAccount;
        return std::nullopt;
    default:
        break;
    }
    std::string_view credentials(req[http::field::authorization].data(),
                                 req[http::field::authorization].size());
    HttpAuthenticator::Proof proof;
    switch (authenticator.Admit(connection.address, credentials, connection.proof, proof)) {
    case HttpAuthenticator::Verdict::Ok:
        account = std::move(proof.account);
        mutual = std::move(proof.replyToken);
        return std::nullopt;
    case HttpAuthenticator::Verdict::Refused: {
        if (!credentials.empty()) {
            LogInfo("authentication: refused credentials from " + connection.address +
                    (proof.refusal.empty() ? "" : ": " + proof.refusal));
        }
        Response res = Plain(401, req.version(), "Unauthorized");
        for (const std::string& challenge : authenticator.Challenges()) {
            res.insert(http::field::www_authenticate, challenge);
        }
        res.keep_alive(req.keep_alive());
        return res;
    }
    case HttpAuthenticator::Verdict::Limited:
        break;
    }
    long wait = authenticator.RetryAfter(connection.address);
    Response res =
        Plain(429, req.version(),
              "Too Many Requests: too many failed sign-in attempts from this address; try again in " +
                  std::to_string(wait) + " s");
    res.set(http::field::retry_after, std::to_string(wait));
    return res;
}

bool HttpServer::Impl::LoadTls(std::string& reason)
{
    auto fresh = std::make_shared<ssl::context>(ssl::context::tls_server);
    boost::system::error_code ec;
    fresh->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                           ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1,
                       ec);
    if (!ec) {
        fresh->use_certificate_chain_file(options.tlsCertificate, ec);
    }
    if (!ec) {
        fresh->use_private_key_file(options.tlsKey, ssl::context::pem, ec);
    }
    if (ec) {
        reason = "the TLS certificate or key cannot be used: " + ec.message();
        return false;
    }
    std::lock_guard lock(tlsMutex);
    tls = std::move(fresh);
    return true;
}

bool HttpServer::Impl::Start(std::string& reason)
{
    if (!options.tlsCertificate.empty() || !options.tlsKey.empty()) {
        if (!LoadTls(reason)) {
            return false;
        }
        useTls = true;
    }
    if (!listener.Open(options.address, options.port, options.unixPath, reason)) {
        return false;
    }
    int family = listener.Family();
    boost::system::error_code ec;
    acceptor.assign(stream_protocol(family, family == AF_UNIX ? 0 : IPPROTO_TCP), listener.Take(), ec);
    if (ec) {
        reason = "cannot listen on " + listener.Name() + ": " + ec.message();
        return false;
    }
    return ChooseAuth(family == AF_UNIX, reason);
}

// The way of authentication that fits the listener, or a refusal to start.
bool HttpServer::Impl::ChooseAuth(bool unixSocket, std::string& reason)
{
    AuthMode& mode = options.auth;
    if (mode == AuthMode::Default) {
        mode = unixSocket ? AuthMode::Peer : AuthMode::Basic;
    }
    const bool local = unixSocket || listener.Loopback();
    if (mode == AuthMode::Peer && !unixSocket) {
        reason = "--auth peer needs a Unix socket (--listen unix:PATH); " + listener.Name() + " is not one";
        return false;
    }
    if (mode != AuthMode::Peer && mode != AuthMode::None && !local && !useTls) {
        reason = std::string(mode == AuthMode::Negotiate ? "Negotiate leaves the requests that follow it open"
                                                         : "HTTP Basic sends passwords in the clear") +
                 ": on " + listener.Name() + " it needs --tls-cert and --tls-key, or a loopback address";
        return false;
    }
    if (!authenticator.Usable(reason)) {
        return false;
    }
    if (mode == AuthMode::None) {
        if (!local) {
            reason = "--insecure-no-auth is allowed on a loopback address or a Unix socket only, not on " +
                     listener.Name();
            return false;
        }
        LogWarning("--insecure-no-auth: every caller may read and change the security database");
    }
    return true;
}

// SIGINT and SIGTERM stop the server; SIGHUP reads the TLS certificate and key
// again, and a failure keeps the ones in use.
void HttpServer::Impl::WaitForSignal()
{
    signals.async_wait([this](boost::system::error_code ec, int signal) {
        if (ec) {
            return;
        }
        if (signal != SIGHUP) {
            BeginStop();
            return;
        }
        std::string reason;
        if (!useTls) {
            LogInfo("SIGHUP: no TLS certificate to read again");
        } else if (LoadTls(reason)) {
            LogInfo("SIGHUP: read the TLS certificate and key again");
        } else {
            LogWarning("SIGHUP: " + reason + "; the ones in use stay");
        }
        WaitForSignal();
    });
}

void HttpServer::Impl::BeginStop()
{
    if (stopping.exchange(true)) {
        return;
    }
    LogInfo("stopping: finishing the requests in flight");
    boost::system::error_code ignored;
    acceptor.close(ignored);
    signals.cancel(ignored);
    bool none = false;
    {
        std::lock_guard lock(connectionsMutex);
        none = connections.empty();
        for (auto& [executor, connection] : connections) {
            net::post(executor, [connection = connection] {
                if (connection->idle && connection->cancel) {
                    connection->cancel();
                }
            });
        }
    }
    if (!none) {
        grace.expires_after(options.stopGrace);
        grace.async_wait([this](boost::system::error_code ec) {
            if (!ec) {
                LogWarning("stopping: requests still in flight after the grace period");
                ioc.stop();
            }
        });
    }
}

void HttpServer::Impl::ConnectionEnded()
{
    if (!stopping.load()) {
        return;
    }
    std::lock_guard lock(connectionsMutex);
    if (connections.empty()) {
        net::post(ioc, [this] { grace.cancel(); });
    }
}

net::awaitable<void> HttpServer::Impl::Accept()
{
    // A failing accept (no descriptors left, above all) fails again at once:
    // it is tried again after a pause that grows up to a quarter second.
    constexpr auto kFirstPause = std::chrono::milliseconds(5);
    constexpr auto kLongestPause = std::chrono::milliseconds(250);
    auto pause = kFirstPause;
    net::steady_timer timer(ioc);
    while (!stopping.load()) {
        boost::system::error_code ec;
        stream_protocol::socket socket(net::make_strand(ioc));
        co_await acceptor.async_accept(socket, net::redirect_error(net::use_awaitable, ec));
        if (ec) {
            if (stopping.load() || ec == net::error::operation_aborted) {
                break;
            }
            acceptWarning.Log("accept failed: " + ec.message());
            timer.expires_after(pause);
            co_await timer.async_wait(net::redirect_error(net::use_awaitable, ec));
            pause = std::min(pause * 2, kLongestPause);
            continue;
        }
        pause = kFirstPause;
        bool full = false;
        {
            std::lock_guard lock(connectionsMutex);
            full = connections.size() >= static_cast<size_t>(options.maxConnections);
        }
        if (full) {
            acceptWarning.Log("refused a connection: " + std::to_string(options.maxConnections) +
                              " connections are served already");
            net::co_spawn(socket.get_executor(), RefuseBusy(std::move(socket)), [](std::exception_ptr) {});
            continue;
        }
        net::co_spawn(socket.get_executor(), Session(std::move(socket)), net::detached);
    }
}

// One connection too many: a 503 and the end, within a second at most. A TLS
// listener answers it in TLS (handshake, reply, close_notify), so that the
// client reads the refusal instead of a broken handshake.
net::awaitable<void> HttpServer::Impl::RefuseBusy(stream_protocol::socket socket)
{
    Stream stream(std::move(socket));
    stream.expires_after(std::chrono::seconds(1));
    Response res = Plain(503, 11, "Service Unavailable: too many connections");
    res.set(http::field::retry_after, "1");
    boost::system::error_code ec;
    std::shared_ptr<ssl::context> context;
    if (useTls) {
        std::lock_guard lock(tlsMutex);
        context = tls;
    }
    if (context) {
        beast::ssl_stream<Stream> secure(std::move(stream), *context);
        co_await secure.async_handshake(ssl::stream_base::server,
                                        net::redirect_error(net::use_awaitable, ec));
        if (!ec) {
            co_await http::async_write(secure, res, net::redirect_error(net::use_awaitable, ec));
            co_await secure.async_shutdown(net::redirect_error(net::use_awaitable, ec));
        }
        co_return;
    }
    co_await http::async_write(stream, res, net::redirect_error(net::use_awaitable, ec));
    stream.socket().shutdown(net::socket_base::shutdown_send, ec);
    // What the client sent is read and dropped, so that closing does not
    // reset the connection before the client has read the reply.
    std::array<char, 4096> drain{};
    while (!ec) {
        co_await stream.async_read_some(net::buffer(drain), net::redirect_error(net::use_awaitable, ec));
    }
}

net::awaitable<HttpReply> HttpServer::Impl::Handle(const Request& req, const std::string& account)
{
    std::string_view method(req.method_string().data(), req.method_string().size());
    std::string_view target(req.target().data(), req.target().size());
    if (!router.MayWait(target)) {
        co_return router.Handle(method, target, req.body(), account);
    }
    // A change waits for its commit on a thread of its own pool, never on a
    // request thread a read needs.
    co_return co_await net::co_spawn(
        changes,
        [&]() -> net::awaitable<HttpReply> { co_return router.Handle(method, target, req.body(), account); },
        net::use_awaitable);
}

net::awaitable<void> HttpServer::Impl::Session(stream_protocol::socket socket)
{
    auto connection = std::make_shared<Connection>();
    auto executor = socket.get_executor();
    std::list<std::pair<net::any_io_executor, std::shared_ptr<Connection>>>::iterator self;
    {
        std::lock_guard lock(connectionsMutex);
        self = connections.emplace(connections.end(), executor, connection);
    }
    if (socket.local_endpoint().protocol().family() == AF_UNIX) {
        connection->address = "local";
        if (options.auth == AuthMode::Peer && !PeerAccount(socket.native_handle(), connection->peerAccount)) {
            LogWarning("authentication: the account of a local caller cannot be read");
        }
    } else {
        boost::system::error_code ec;
        auto remote = socket.remote_endpoint(ec);
        connection->address = ec ? "unknown" : RemoteAddress(remote.data(), remote.size());
    }
    try {
        Stream stream(std::move(socket));
        if (useTls) {
            std::shared_ptr<ssl::context> context;
            {
                std::lock_guard lock(tlsMutex);
                context = tls;
            }
            beast::ssl_stream<Stream> secure(std::move(stream), *context);
            connection->cancel = [&secure] { beast::get_lowest_layer(secure).cancel(); };
            beast::get_lowest_layer(secure).expires_after(options.readTimeout);
            boost::system::error_code ec;
            co_await secure.async_handshake(ssl::stream_base::server,
                                            net::redirect_error(net::use_awaitable, ec));
            if (!ec) {
                co_await Serve(secure, connection);
                beast::get_lowest_layer(secure).expires_after(std::chrono::seconds(2));
                co_await secure.async_shutdown(net::redirect_error(net::use_awaitable, ec));
            }
        } else {
            connection->cancel = [&stream] { stream.cancel(); };
            co_await Serve(stream, connection);
            boost::system::error_code ec;
            stream.socket().shutdown(net::socket_base::shutdown_send, ec);
        }
    } catch (const std::exception& e) {
        LogWarning(std::string("connection ended: ") + e.what());
    }
    connection->cancel = nullptr;
    {
        std::lock_guard lock(connectionsMutex);
        connections.erase(self);
    }
    ConnectionEnded();
}

template <class Stream>
net::awaitable<void> HttpServer::Impl::Serve(Stream& stream, std::shared_ptr<Connection> connection)
{
    beast::flat_buffer buffer;
    auto& lowest = beast::get_lowest_layer(stream);
    for (;;) {
        boost::system::error_code ec;
        // Idle: wait for the first byte of the next request.
        if (buffer.size() == 0) {
            connection->idle = true;
            if (stopping.load()) {
                co_return;
            }
            lowest.expires_after(options.idleTimeout);
            size_t n = co_await stream.async_read_some(buffer.prepare(16 * 1024),
                                                       net::redirect_error(net::use_awaitable, ec));
            if (ec) {
                co_return; // closed by the client, idle time-out, or a stop
            }
            buffer.commit(n);
        }
        connection->idle = false;
        lowest.expires_after(options.readTimeout);

        // The header is gathered and measured before the parser sees it: the
        // parser keeps a field in at most 64 KiB and would throw on a longer one.
        std::optional<Response> refusal;
        for (;;) {
            std::string_view data(static_cast<const char*>(buffer.data().data()), buffer.size());
            size_t end = data.find("\r\n\r\n");
            std::string_view head = data.substr(0, end);
            if (!PlausibleStart(data) || BareLineBreak(head)) {
                refusal = Plain(400, 11, "Bad Request");
                break;
            }
            size_t firstLine = head.find("\r\n");
            size_t lineLength = firstLine == std::string_view::npos ? head.size() : firstLine;
            if (lineLength > options.maxTarget + 64) {
                refusal = Plain(414, 11, "URI Too Long");
                break;
            }
            if (firstLine != std::string_view::npos) {
                size_t fields = head.size() - firstLine;
                size_t longest = 0;
                for (size_t at = firstLine; at < head.size();) {
                    size_t next = head.find("\r\n", at + 2);
                    next = next == std::string_view::npos ? head.size() : next;
                    longest = std::max(longest, next - at);
                    at = next;
                }
                if (fields > options.maxHeader || longest > kMaxFieldLine) {
                    refusal = Plain(431, 11, "Request Header Fields Too Large");
                    break;
                }
            }
            if (end != std::string_view::npos) {
                break;
            }
            size_t n = co_await stream.async_read_some(buffer.prepare(16 * 1024),
                                                       net::redirect_error(net::use_awaitable, ec));
            if (ec) {
                co_return;
            }
            buffer.commit(n);
        }
        if (refusal) {
            co_await http::async_write(stream, *refusal, net::redirect_error(net::use_awaitable, ec));
            co_return;
        }

        http::request_parser<http::string_body> parser;
        parser.header_limit(static_cast<std::uint32_t>(options.maxTarget + options.maxHeader + 1024));
        parser.body_limit(options.maxBody);
        co_await http::async_read_header(stream, buffer, parser, net::redirect_error(net::use_awaitable, ec));
        if (ec == beast::error::timeout || ec == http::error::end_of_stream || ec == net::error::eof) {
            co_return;
        }
        if (ec) {
            Response res = ReadFailure(ec);
            co_await http::async_write(stream, res, net::redirect_error(net::use_awaitable, ec));
            co_return;
        }
        auto& header = parser.get();
        if (parser.content_length() && *parser.content_length() > options.maxBody) {
            Response res = Plain(413, header.version(), "Payload Too Large");
            co_await http::async_write(stream, res, net::redirect_error(net::use_awaitable, ec));
            co_return;
        }
        // Bodies come whole or chunked, never in another coding.
        auto coding = header.find(http::field::transfer_encoding);
        if (coding != header.end() && !parser.chunked()) {
            Response res = Plain(501, header.version(), "Not Implemented: transfer coding");
            co_await http::async_write(stream, res, net::redirect_error(net::use_awaitable, ec));
            co_return;
        }
        // A body is read only when its room is there: a chunked one may
        // take the whole limit.
        size_t room = parser.content_length() ? static_cast<size_t>(*parser.content_length())
                      : parser.chunked()      ? options.maxBody
                                              : 0;
        BodyReservation reservation(bodiesInFlight, options.maxBodiesInFlight, room);
        if (!reservation.Held()) {
            Response res = Plain(503, header.version(), "Service Unavailable: too many bodies in flight");
            res.set(http::field::retry_after, "1");
            co_await http::async_write(stream, res, net::redirect_error(net::use_awaitable, ec));
            co_return;
        }
        if (beast::iequals(header[http::field::expect], "100-continue")) {
            static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
            co_await net::async_write(stream, net::buffer(kContinue.data(), kContinue.size()),
                                      net::redirect_error(net::use_awaitable, ec));
            if (ec) {
                co_return;
            }
        }
        co_await http::async_read(stream, buffer, parser, net::redirect_error(net::use_awaitable, ec));
        if (ec == beast::error::timeout) {
            co_return;
        }
        if (ec) {
            Response res = ReadFailure(ec);
            co_await http::async_write(stream, res, net::redirect_error(net::use_awaitable, ec));
            co_return;
        }
        Request req = parser.release();
        std::string account, mutual;
        if (auto denied = Authenticate(req, *connection, account, mutual)) {
            bool again = denied->keep_alive() && !stopping.load();
            denied->keep_alive(again);
            co_await http::async_write(stream, *denied, net::redirect_error(net::use_awaitable, ec));
            if (ec || !again) {
                co_return;
            }
            continue;
        }
        HttpReply reply = co_await Handle(req, account);
        LogDebug(std::string(req.method_string()) + " " + std::string(req.target().substr(0, 200)) + " -> " +
                 std::to_string(reply.status));
        if (reply.delayMs > 0) {
            net::steady_timer timer(co_await net::this_coro::executor);
            timer.expires_after(std::chrono::milliseconds(reply.delayMs));
            lowest.expires_never();
            co_await timer.async_wait(net::redirect_error(net::use_awaitable, ec));
        }
        if (reply.drop) {
            co_return;
        }
        Response res{static_cast<http::status>(reply.status), req.version()};
        res.set(http::field::server, "ZYR Security Server");
        res.set(http::field::content_type, reply.contentType);
        for (const auto& [name, value] : reply.headers) {
            res.insert(name, value);
        }
        if (!mutual.empty()) {
            res.set(http::field::www_authenticate, "Negotiate " + mutual);
        }
        res.body() = std::move(reply.body);
        res.keep_alive(req.keep_alive() && !stopping.load());
        res.prepare_payload();
        lowest.expires_after(options.readTimeout);
        co_await http::async_write(stream, res, net::redirect_error(net::use_awaitable, ec));
        if (ec || !res.keep_alive()) {
            co_return;
        }
    }
}

HttpServer::HttpServer(RequestHandler& router, HttpServerOptions options)
    : impl_(std::make_unique<Impl>(router, std::move(options)))
{
}

HttpServer::~HttpServer() = default;

bool HttpServer::Start(std::string& reason)
{
    return impl_->Start(reason);
}

uint16_t HttpServer::Port() const
{
    return impl_->listener.Port();
}

AuthMode HttpServer::Auth() const
{
    return impl_->options.auth;
}

const std::string& HttpServer::Endpoint() const
{
    return impl_->listener.Name();
}

namespace {

// A handler that throws must not take the server down.
template <class Impl>
void RunLoop(Impl& impl)
{
    for (;;) {
        try {
            impl.ioc.run();
            return;
        } catch (const std::exception& e) {
            LogError(std::string("unexpected failure while serving: ") + e.what());
        }
    }
}

} // namespace

void HttpServer::Run(bool handleSignals)
{
    Impl& impl = *impl_;
    if (handleSignals) {
        impl.signals.add(SIGINT);
        impl.signals.add(SIGTERM);
        impl.signals.add(SIGHUP);
        impl.WaitForSignal();
    }
    net::co_spawn(impl.acceptor.get_executor(), impl.Accept(), net::detached);
    std::vector<std::thread> pool;
    for (int i = 1; i < impl.options.threads; ++i) {
        pool.emplace_back([&impl] { RunLoop(impl); });
    }
    RunLoop(impl);
    for (auto& t : pool) {
        t.join();
    }
}

void HttpServer::Stop()
{
    net::post(impl_->ioc, [impl = impl_.get()] { impl->BeginStop(); });
}

} // namespace zyr::server
