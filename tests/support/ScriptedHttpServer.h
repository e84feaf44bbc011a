// A real HTTP/1.1 server on a free loopback port, answering what a test tells
// it to. It runs on threads of its own (one accepting, one per connection), so
// the code under test talks to it through ordinary sockets, synchronously.
//
// Replies come, in this order of preference, from the handler (SetHandler),
// from the queue (Enqueue, one reply per request, first in first out) or from
// the default reply (SetDefaultReply; 404 with an empty body until set).
// Every request is recorded with its method, target, headers and the body
// bytes exactly as they arrived (a trailing zero byte included), before it is
// answered.
//
// Connections are kept alive as HTTP/1.1 allows until the client closes them,
// a reply asks for "Connection: close" (closeAfter) or the server stops.
// Request bodies are read by Content-Length (and "Expect: 100-continue" is
// honoured); chunked request bodies are not supported and close the
// connection with status 411.
//
//     zyr::test::ScriptedHttpServer server;
//     server.Enqueue({.status = 200, .body = "<DOCUMENT/>"});
//     Fetch(server.Url("/sec.asp?Object=Role"));
//     EXPECT_EQ(server.Requests().at(0).method, "GET");
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sockaddr;

namespace zyr::test {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct ScriptedReply {
    int status = 200;
    std::string reason{}; // empty: the usual phrase for the status
    HeaderList headers{}; // sent as given, in order
    std::string body{};
    // Waits before anything is sent (the request has been read and recorded).
    std::chrono::milliseconds delay{0};
    // Waits between the header block and the body (a reply that stalls).
    std::chrono::milliseconds delayBeforeBody{0};
    // Closes the connection without answering.
    bool dropConnection = false;
    // Answers with "Connection: close" and closes afterwards.
    bool closeAfter = false;
    // Leaves out the Content-Length header the server adds otherwise; the
    // reply then ends when the connection closes (closeAfter is implied).
    bool omitContentLength = false;
    // Above zero: the body goes out with "Transfer-Encoding: chunked" in
    // chunks of this many bytes (instead of a Content-Length).
    size_t chunkSize = 0;
    // When not empty, sent verbatim instead of a composed reply.
    std::string raw{};
};

struct RecordedRequest {
    std::string method;
    std::string target; // as in the request line: path and query
    std::string version;
    HeaderList headers;
    std::string body;      // bytes as received
    size_t connection = 0; // 1 for the first connection accepted, then 2, ...

    // The first header of that name (case-insensitive), or empty.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
    size_t HeaderCount(std::string_view name) const;
};

class ScriptedHttpServer {
public:
    using Handler = std::function<ScriptedReply(const RecordedRequest&)>;

    // Binds 127.0.0.1 on a free port and starts serving; IsRunning tells
    // whether that worked.
    ScriptedHttpServer();
    // Listens on a Unix domain socket at that path instead (Port is 0 then).
    explicit ScriptedHttpServer(const std::string& socketPath);
    // Stops serving, closes every connection and joins the threads.
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    bool IsRunning() const;
    uint16_t Port() const;
    // "http://127.0.0.1:PORT" followed by target (which should start with "/").
    std::string Url(std::string_view target = "/") const;

    void Enqueue(ScriptedReply reply);
    void SetDefaultReply(ScriptedReply reply);
    void SetHandler(Handler handler);

    std::vector<RecordedRequest> Requests() const;
    size_t RequestCount() const;
    // The query parts ("?..." or empty) of the requests' targets, in order.
    std::vector<std::string> Queries() const;
    // Connections accepted so far.
    size_t ConnectionCount() const;
    // Forgets the recorded requests and the queue (the connection count stays).
    void Clear();

    // Stops serving before destruction (idempotent).
    void Stop();

private:
    bool Listen(int family, ::sockaddr* address, unsigned size);
    struct State;
    std::shared_ptr<State> state_;
};

// The usual reason phrase of a status ("OK", "Found", ...), or "Status".
std::string_view ReasonPhrase(int status);

} // namespace zyr::test
