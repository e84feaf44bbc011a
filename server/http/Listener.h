// Where the server takes its connections: a TCP address and port, a Unix
// socket file, or a listening socket handed over by the service manager
// (socket activation: LISTEN_PID and LISTEN_FDS, the first passed descriptor).
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace zyr::server {

class Listener {
public:
    Listener() = default;
    // Closes a descriptor nobody took and removes the socket file it made.
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // A socket the service manager passed to this process comes first (and
    // the variables naming it are cleared, so no child takes it again); else
    // unixPath when it is not empty; else the TCP address and port.
    bool Open(const std::string& address, uint16_t port, const std::string& unixPath, std::string& reason);

    // The listening descriptor, handed over: the caller closes it from now on.
    int Take();
    int Family() const { return family_; }
    uint16_t Port() const { return port_; }
    // A TCP socket bound to a loopback address.
    bool Loopback() const { return loopback_; }
    // "127.0.0.1:8780", "[::1]:8780" or "unix:/run/zyr/security.sock".
    const std::string& Name() const { return name_; }

private:
    bool OpenInherited(int count, std::string& reason);
    bool OpenUnix(const std::string& path, std::string& reason);
    bool OpenTcp(const std::string& address, uint16_t port, std::string& reason);

    int fd_ = -1;
    int family_ = 0;
    uint16_t port_ = 0;
    bool loopback_ = false;
    std::string name_;
    // The socket file this listener made, and its identity, so that a file
    // another server put there since is left alone at exit.
    std::string madePath_;
    dev_t madeDevice_ = 0;
    ino_t madeInode_ = 0;
};

} // namespace zyr::server
