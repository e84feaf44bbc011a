// The server over TLS with a self-signed certificate.
#include "tests/server/ServerFixture.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace zyr::server::test {
namespace {

// A TLS client on the loopback; handshake is false when the server did not
// take it (or nothing accepted the connection).
struct TlsClient {
    explicit TlsClient(int port)
        : fd(zyr::test::ConnectLoopback(port)), ctx(SSL_CTX_new(TLS_client_method())), ssl(SSL_new(ctx)),
          handshake(fd >= 0 && SSL_set_fd(ssl, fd) == 1 && SSL_connect(ssl) == 1)
    {
    }
    ~TlsClient()
    {
        SSL_free(ssl);
        SSL_CTX_free(ctx);
        if (fd >= 0) {
            close(fd);
        }
    }
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    int fd;
    SSL_CTX* ctx;
    SSL* ssl;
    bool handshake;
};

std::string TlsExchange(int port, const std::string& request)
{
    TlsClient client(port);
    std::string reply;
    if (client.handshake && SSL_write(client.ssl, request.data(), static_cast<int>(request.size())) > 0) {
        char buffer[4096];
        int n;
        while ((n = SSL_read(client.ssl, buffer, sizeof buffer)) > 0) {
            reply.append(buffer, static_cast<size_t>(n));
        }
    }
    return reply;
}

// The subject of the certificate the server shows, or "" without a handshake.
std::string PeerSubject(int port)
{
    TlsClient client(port);
    std::string subject;
    if (client.handshake) {
        if (X509* peer = SSL_get1_peer_certificate(client.ssl)) {
            char text[256] = {};
            X509_NAME_oneline(X509_get_subject_name(peer), text, sizeof text);
            subject = text;
            X509_free(peer);
        }
        SSL_shutdown(client.ssl);
    }
    return subject;
}

// A server on a self-signed certificate in a folder of its own; the
// certificate can be made again under another name.
class TlsTest : public ::testing::Test {
protected:
    bool MakeCertificate(const std::string& name)
    {
        std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=" + name +
                           " -keyout " + key + " -out " + cert + " >/dev/null 2>&1";
        return std::system(make.c_str()) == 0;
    }
    bool StartServer()
    {
        return server.Start({"--db", (dir.path() / "tls.db").string(), "--tls-cert", cert, "--tls-key", key});
    }

    TempDir dir;
    std::string cert = (dir.path() / "cert.pem").string();
    std::string key = (dir.path() / "key.pem").string();
    ServerProcess server;
};

TEST_F(TlsTest, SighupReadsTheCertificateAgainAndKeepsItWhenTheNewOneIsBroken)
{
    if (!MakeCertificate("first")) {
        GTEST_SKIP() << "openssl cannot make a test certificate here";
    }
    ASSERT_TRUE(StartServer());
    EXPECT_EQ(PeerSubject(server.port()), "/CN=first");

    ASSERT_TRUE(MakeCertificate("second"));
    kill(server.pid(), SIGHUP);
    std::string subject;
    for (int i = 0; i < 100 && subject != "/CN=second"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        subject = PeerSubject(server.port());
    }
    EXPECT_EQ(subject, "/CN=second");

    std::ofstream(cert) << "not a certificate";
    kill(server.pid(), SIGHUP);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(PeerSubject(server.port()), "/CN=second");
    EXPECT_EQ(server.Stop(), 0);
}

TEST_F(TlsTest, ServesTheRequestPageOverTls)
{
    if (!MakeCertificate("127.0.0.1")) {
        GTEST_SKIP() << "openssl cannot make a test certificate here";
    }
    ASSERT_TRUE(StartServer());
    std::string reply =
        TlsExchange(server.port(), "POST /zyr/security?Operation=GetServerVersion HTTP/1.1\r\n"
                                   "Host: x\r\nConnection: close\r\nContent-Length: 9\r\n\r\nJunk=Junk");
    EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << reply;
    EXPECT_EQ(reply.substr(reply.size() - 5), "\r\n2.3");
    // Plain HTTP on the TLS port gets no reply, and the server goes on.
    EXPECT_FALSE(Request(server.port(), "GET", "").complete);
    EXPECT_NE(TlsExchange(server.port(), "GET /zyr/security HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                  .find("ZYR Security Server"),
              std::string::npos);
    EXPECT_EQ(server.Stop(), 0);
}

TEST_F(TlsTest, AConnectionBeyondTheLimitReadsItsRefusalInTls)
{
    if (!MakeCertificate("127.0.0.1")) {
        GTEST_SKIP() << "openssl cannot make a test certificate here";
    }
    ASSERT_TRUE(server.Start({"--db", (dir.path() / "tls.db").string(), "--tls-cert", cert, "--tls-key", key,
                              "--max-connections", "1"}));
    RawConnection held(server.port());
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // accepted
    std::string refused = TlsExchange(server.port(), "GET /zyr/security HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(refused.rfind("HTTP/1.1 503", 0), 0u) << refused;
    EXPECT_NE(refused.find("too many connections"), std::string::npos) << refused;
    EXPECT_EQ(server.Stop(), 0);
}

} // namespace
} // namespace zyr::server::test
