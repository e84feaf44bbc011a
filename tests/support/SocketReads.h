// Reads of an HTTP exchange from a socket in the test servers and clients:
// bytes gathered into a pending buffer until a header block or a body is
// whole. ready() waits until the socket can be read, false to give up.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <string>

namespace zyr::test {

// Appends what one receive brings; false when the wait fails or the peer
// has closed.
template <class Ready>
bool ReceiveMore(int fd, std::string& pending, Ready&& ready)
{
    if (!ready()) {
        return false;
    }
    char chunk[65536];
    ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) {
        return false;
    }
    pending.append(chunk, static_cast<size_t>(got));
    return true;
}

// Where the header block in pending ends (its "\r\n\r\n"), receiving until
// it does; npos when the exchange ends first.
template <class Ready>
size_t ReceiveHeaderBlock(int fd, std::string& pending, Ready&& ready)
{
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (!ReceiveMore(fd, pending, ready)) {
            return std::string::npos;
        }
    }
    return end;
}

// Receives until pending holds at least length bytes; false when the
// exchange ends first.
template <class Ready>
bool ReceiveAtLeast(int fd, std::string& pending, size_t length, Ready&& ready)
{
    while (pending.size() < length) {
        if (!ReceiveMore(fd, pending, ready)) {
            return false;
        }
    }
    return true;
}

} // namespace zyr::test
