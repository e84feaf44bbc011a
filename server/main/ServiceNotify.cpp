#include "server/main/ServiceNotify.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zyr::server {

bool NotifyServiceManager(const std::string& state)
{
    const char* name = std::getenv("NOTIFY_SOCKET");
    if (name == nullptr) {
        return false;
    }
    std::string path(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A name starting with @ is in the abstract namespace.
    if (path.size() < 2 || path.size() >= sizeof(address.sun_path) || (path[0] != '/' && path[0] != '@')) {
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    if (path[0] == '@') {
        address.sun_path[0] = '\0';
    }
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    ssize_t sent =
        ::sendto(fd, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address), length);
    ::close(fd);
    return sent == static_cast<ssize_t>(state.size());
}

} // namespace zyr::server
