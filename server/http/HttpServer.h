// The HTTP/1.1 listener of the security server: keep-alive connections served
// by a small pool of threads, with limits on the request's size and time, and
// a stop that lets the requests in flight finish. TLS when given a
// certificate and key.
#pragma once

#include "server/http/RequestHandler.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace zyr::server {

// How the server learns who asks. Default: Peer on a Unix socket, Basic on TCP.
// Negotiate takes Kerberos tickets (SPNEGO); NegotiateOrBasic offers both.
enum class AuthMode { Default, Peer, Basic, Negotiate, NegotiateOrBasic, None };

struct HttpServerOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 8780; // 0: any free port
    int threads = 4;
    std::chrono::milliseconds readTimeout{30000}; // from the first byte of a request to its end
    std::chrono::milliseconds idleTimeout{60000}; // between requests of a kept-alive connection
    std::chrono::milliseconds stopGrace{10000};   // longest wait for requests in flight at a stop
    size_t maxTarget = 64 * 1024;
    size_t maxHeader = 64 * 1024; // the header fields, without the request line
    size_t maxBody = 64 * 1024 * 1024;
    // Connections served at once; 0: sized from the open-files limit. One
    // more is answered 503 and closed.
    int maxConnections = 0;
    // Bytes of request bodies held at once over all connections; a request
    // whose body would pass it answers 503.
    size_t maxBodiesInFlight = 256 * 1024 * 1024;
    // Threads that serve the requests that may wait for a commit, so that
    // the request threads stay free for reads.
    int changeThreads = 64;
    std::string unixPath;       // listen on this Unix socket instead of the address and port
    std::string tlsCertificate; // PEM files; both or neither
    std::string tlsKey;
    AuthMode auth = AuthMode::Default;
    // For Negotiate: the service's keytab, and the domain that names the
    // accounts of each realm (a realm not listed: its first label).
    std::string keytab;
    std::map<std::string, std::string> realmDomains;
};

class HttpServer {
public:
    HttpServer(RequestHandler& handler, HttpServerOptions options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and listens; false with a reason when that fails.
    bool Start(std::string& reason);
    uint16_t Port() const;
    // "ADDRESS:PORT" or "unix:PATH", once started.
    const std::string& Endpoint() const;
    // The way of authentication in force, once started.
    AuthMode Auth() const;
    // Serves until Stop (or, with handleSignals, SIGTERM or SIGINT; SIGHUP
    // then reads the TLS certificate and key again); returns
    // when the requests in flight are answered.
    void Run(bool handleSignals);
    // Thread-safe; Run returns soon after.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zyr::server
