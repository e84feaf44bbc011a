// The server under a service manager: a listening socket passed to it
// (socket activation), the readiness message, and SIGHUP.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

sockaddr_un UnixAddress(const fs::path& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    return address;
}

int BoundSocket(const fs::path& path, int type)
{
    int fd = ::socket(AF_UNIX, type, 0);
    sockaddr_un address = UnixAddress(path);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        return -1;
    }
    return fd;
}

// The status line of one request over the Unix socket, or "" when none came.
std::string StatusLine(const fs::path& path)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = UnixAddress(path);
    std::string reply;
    const std::string request = "GET /zyr/security HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof(buffer))) > 0) {
            reply.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return reply.substr(0, reply.find("\r\n"));
}

TEST(ServiceManagerTest, ServesThePassedSocketReportsReadyAndOutlivesSighup)
{
    std::string pattern = (fs::temp_directory_path() / "zyr-activation-XXXXXX").string();
    fs::path dir = ::mkdtemp(pattern.data());
    fs::path socketPath = dir / "security.sock";
    fs::path notifyPath = dir / "notify";
    int listening = BoundSocket(socketPath, SOCK_STREAM);
    ASSERT_GE(listening, 0);
    ASSERT_EQ(::listen(listening, 16), 0);
    int notify = BoundSocket(notifyPath, SOCK_DGRAM);
    ASSERT_GE(notify, 0);

    std::string binary = std::string(ZYR_TEST_BIN_DIR) + "/zyr-security-server";
    std::string db = (dir / "security.db").string();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(listening, 3);
        ::setenv("LISTEN_PID", std::to_string(::getpid()).c_str(), 1);
        ::setenv("LISTEN_FDS", "1", 1);
        ::setenv("NOTIFY_SOCKET", notifyPath.c_str(), 1);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        // The passed socket takes the place of --listen.
        ::execl(binary.c_str(), binary.c_str(), "--db", db.c_str(), "--listen", "127.0.0.1:0",
                "--insecure-no-auth", "--log-level", "error", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    ::close(listening);

    pollfd ready{notify, POLLIN, 0};
    char message[512] = {};
    ASSERT_EQ(::poll(&ready, 1, 20000), 1);
    ASSERT_GT(::recv(notify, message, sizeof(message) - 1, 0), 0);
    EXPECT_NE(std::string(message).find("READY=1"), std::string::npos) << message;
    EXPECT_NE(std::string(message).find("unix:" + socketPath.string()), std::string::npos) << message;

    EXPECT_EQ(StatusLine(socketPath).rfind("HTTP/1.1 ", 0), 0u);
    ::kill(pid, SIGHUP);
    EXPECT_EQ(StatusLine(socketPath).rfind("HTTP/1.1 ", 0), 0u);

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The socket file belongs to the service manager: it stays for the next start.
    EXPECT_TRUE(fs::exists(socketPath));
    ::close(notify);
    fs::remove_all(dir);
}

} // namespace
