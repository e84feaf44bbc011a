#include "server/http/Listener.h"

#include "server/service/ServerLog.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zyr::server {

namespace {

// The first descriptor the service manager passes.
constexpr int kFirstPassedDescriptor = 3;

std::string SystemError()
{
    return std::strerror(errno);
}

// LISTEN_FDS when LISTEN_PID names this process, else 0.
int PassedDescriptors()
{
    const char* pid = std::getenv("LISTEN_PID");
    const char* fds = std::getenv("LISTEN_FDS");
    if (pid == nullptr || fds == nullptr) {
        return 0;
    }
    long owner = 0;
    int count = 0;
    std::string_view pidText(pid);
    std::string_view fdsText(fds);
    auto [pidEnd, pidError] = std::from_chars(pidText.data(), pidText.data() + pidText.size(), owner);
    auto [fdsEnd, fdsError] = std::from_chars(fdsText.data(), fdsText.data() + fdsText.size(), count);
    if (pidError != std::errc() || pidEnd != pidText.data() + pidText.size() || fdsError != std::errc() ||
        fdsEnd != fdsText.data() + fdsText.size() || owner != static_cast<long>(::getpid()) || count < 0) {
        return 0;
    }
    return count;
}

std::string EndpointName(const sockaddr_storage& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof(text));
        return std::string(text) + ":" + std::to_string(ntohs(v4.sin_port));
    }
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6.sin6_port));
    }
    if (address.ss_family == AF_UNIX) {
        const auto& un = reinterpret_cast<const sockaddr_un&>(address);
        return std::string("unix:") + un.sun_path;
    }
    return "socket";
}

bool IsLoopback(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET) {
        return (ntohl(reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr) >> 24) == 127;
    }
    if (address.ss_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a)) {
            return a.s6_addr[12] == 127;
        }
        return IN6_IS_ADDR_LOOPBACK(&a);
    }
    return false;
}

uint16_t EndpointPort(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return 0;
}

} // namespace

Listener::~Listener()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!madePath_.empty()) {
        struct stat st {};
        if (::lstat(madePath_.c_str(), &st) == 0 && st.st_dev == madeDevice_ && st.st_ino == madeInode_) {
            ::unlink(madePath_.c_str());
        }
    }
}

bool Listener::Open(const std::string& address, uint16_t port, const std::string& unixPath,
                    std::string& reason)
{
    int passed = PassedDescriptors();
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    bool ok = passed > 0          ? OpenInherited(passed, reason)
              : !unixPath.empty() ? OpenUnix(unixPath, reason)
                                  : OpenTcp(address, port, reason);
    if (!ok) {
        return false;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof(bound);
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
        family_ = bound.ss_family;
        port_ = EndpointPort(bound);
        name_ = EndpointName(bound);
        loopback_ = IsLoopback(bound);
    }
    return true;
}

int Listener::Take()
{
    int fd = fd_;
    fd_ = -1;
    return fd;
}

bool Listener::OpenInherited(int count, std::string& reason)
{
    int fd = kFirstPassedDescriptor;
    int type = 0;
    int listening = 0;
    socklen_t size = sizeof(type);
    socklen_t listeningSize = sizeof(listening);
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM ||
        ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &listeningSize) != 0 || listening == 0) {
        reason = "the socket passed by the service manager is not a listening stream socket";
        return false;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    if (count > 1) {
        LogWarning("the service manager passed " + std::to_string(count) +
                   " sockets; only the first is served");
    }
    fd_ = fd;
    return true;
}

bool Listener::OpenUnix(const std::string& path, std::string& reason)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path) || path.find('\0') != std::string::npos) {
        reason = "the socket path is too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    auto* raw = reinterpret_cast<sockaddr*>(&address);

    // A socket file nobody answers on is left over from a server that did not
    // stop cleanly; any other file is not ours to remove.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            reason = "cannot listen on unix:" + path + ": a file that is not a socket is in the way";
            return false;
        }
        int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        bool answered = probe >= 0 && ::connect(probe, raw, sizeof(address)) == 0;
        if (probe >= 0) {
            ::close(probe);
        }
        if (answered) {
            reason = "cannot listen on unix:" + path + ": another server answers there";
            return false;
        }
        ::unlink(path.c_str());
    }

    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || ::bind(fd_, raw, sizeof(address)) != 0) {
        reason = "cannot listen on unix:" + path + ": " + SystemError();
        return false;
    }
    // Every local account may connect: who may do what is the server's
    // decision, not the file's.
    if (::chmod(path.c_str(), 0666) != 0 || ::lstat(path.c_str(), &st) != 0 ||
        ::listen(fd_, SOMAXCONN) != 0) {
        reason = "cannot listen on unix:" + path + ": " + SystemError();
        ::unlink(path.c_str());
        return false;
    }
    madePath_ = path;
    madeDevice_ = st.st_dev;
    madeInode_ = st.st_ino;
    return true;
}

bool Listener::OpenTcp(const std::string& address, uint16_t port, std::string& reason)
{
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 ||
        found == nullptr) {
        reason = "not an address: " + address;
        return false;
    }
    fd_ = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    int on = 1;
    bool ok = fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 &&
              ::bind(fd_, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd_, SOMAXCONN) == 0;
    ::freeaddrinfo(found);
    if (!ok) {
        reason = "cannot listen on " + address + ":" + std::to_string(port) + ": " + SystemError();
        return false;
    }
    return true;
}

} // namespace zyr::server
