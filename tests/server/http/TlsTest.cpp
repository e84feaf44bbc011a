// The server over TLS with a self-signed certificate.
#include "tests/server/ServerFixture.h"
#include "tests/server/ServerProcess.h"

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

std::string TlsExchange(int port, const std::string& request)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return {};
    }
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL* ssl = SSL_new(ctx);
    SSL_set_fd(ssl, fd);
    std::string reply;
    if (SSL_connect(ssl) == 1 && SSL_write(ssl, request.data(), static_cast<int>(request.size())) > 0) {
        char buffer[4096];
        int n;
        while ((n = SSL_read(ssl, buffer, sizeof buffer)) > 0) {
            reply.append(buffer, static_cast<size_t>(n));
        }
    }
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    close(fd);
    return reply;
}

// The subject of the certificate the server shows, or "" without a handshake.
std::string PeerSubject(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string subject;
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL* ssl = SSL_new(ctx);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && SSL_set_fd(ssl, fd) == 1 &&
        SSL_connect(ssl) == 1) {
        if (X509* peer = SSL_get1_peer_certificate(ssl)) {
            char text[256] = {};
            X509_NAME_oneline(X509_get_subject_name(peer), text, sizeof text);
            subject = text;
            X509_free(peer);
        }
        SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    close(fd);
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
