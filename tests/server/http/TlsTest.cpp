// The server over TLS with a self-signed certificate.
#include "tests/server/ServerFixture.h"
#include "tests/server/ServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(TlsTest, ServesTheRequestPageOverTls)
{
    TempDir dir;
    std::string cert = (dir.path() / "cert.pem").string();
    std::string key = (dir.path() / "key.pem").string();
    std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout " +
                       key + " -out " + cert + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        GTEST_SKIP() << "openssl cannot make a test certificate here";
    }
    ServerProcess server;
    ASSERT_TRUE(
        server.Start({"--db", (dir.path() / "tls.db").string(), "--tls-cert", cert, "--tls-key", key}));
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

} // namespace
} // namespace zyr::server::test
