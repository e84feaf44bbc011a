#include "web/HostProbe.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

bool GetUrlHost(std::string_view url, char* buffer, size_t capacity)
{
    size_t start = 0;
    if (size_t separator = url.find("://"); separator != std::string_view::npos) {
        start = separator + 3;
    } else if (separator = url.find(":\\\\"); separator != std::string_view::npos) {
        start = separator + 3;
    }
    // A user part ("user:password@") is skipped, but only an "@" inside the
    // authority counts: one in the path or query is data.
    size_t authorityEnd = url.find_first_of("/\\?", start);
    size_t at = url.find('@', start);
    if (at != std::string_view::npos && (authorityEnd == std::string_view::npos || at < authorityEnd)) {
        start = at + 1;
    }
    size_t end = url.find_first_of("/\\?:", start);
    std::string_view host = url.substr(start, end == std::string_view::npos ? url.npos : end - start);
    if (buffer == nullptr || host.size() >= capacity) {
        return false;
    }
    std::copy(host.begin(), host.end(), buffer);
    buffer[host.size()] = '\0';
    return true;
}

namespace zyr::web {

namespace {

constexpr uint8_t kEchoRequest = 8;
constexpr uint8_t kEchoReply = 0;
constexpr int kEchoCount = 4;
constexpr std::chrono::milliseconds kEchoWait{1000};

void Put16(unsigned char* at, uint16_t value)
{
    std::memcpy(at, &value, sizeof value);
}

uint16_t Get16(const unsigned char* at)
{
    uint16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

uint32_t TickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

class SystemEchoSocket final : public EchoSocket {
public:
    SystemEchoSocket(int fd, bool datagram) : fd_(fd), datagram_(datagram) {}
    ~SystemEchoSocket() override { ::close(fd_); }

    Io Send(const void* packet, size_t size, const sockaddr_in& to) override
    {
        ssize_t sent;
        do {
            sent = ::sendto(fd_, packet, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        } while (sent < 0 && errno == EINTR);
        if (sent >= 0) {
            return Io::Done;
        }
        return (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT) ? Io::TimedOut : Io::Failed;
    }

    Io Receive(void* message, size_t capacity, size_t& received, std::chrono::milliseconds wait) override
    {
        pollfd fd{fd_, POLLIN, 0};
        int ready;
        do {
            ready = ::poll(&fd, 1, static_cast<int>(std::max<int64_t>(0, wait.count())));
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            return Io::Failed;
        }
        if (ready == 0) {
            return Io::TimedOut;
        }
        unsigned char packet[kEchoBufferSize];
        ssize_t got = ::recv(fd_, packet, sizeof packet, MSG_DONTWAIT);
        if (got < 0) {
            return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? Io::TimedOut : Io::Failed;
        }
        size_t offset = 0;
        if (!datagram_ && got > 0) {
            offset = std::min(static_cast<size_t>(got), static_cast<size_t>(packet[0] & 0x0F) * 4);
        }
        received = std::min(capacity, static_cast<size_t>(got) - offset);
        std::memcpy(message, packet + offset, received);
        return Io::Done;
    }

    bool RewritesIdentifier() const override { return datagram_; }

private:
    int fd_;
    bool datagram_;
};

std::mutex openerMutex;
EchoSocketOpener& Opener()
{
    static EchoSocketOpener opener;
    return opener;
}

bool Resolve(const char* host, sockaddr_in& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    return true;
}

} // namespace

uint16_t InternetChecksum(const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    uint32_t sum = 0;
    for (; size > 1; bytes += 2, size -= 2) {
        sum += Get16(bytes);
    }
    if (size == 1) {
        // The odd byte is the first byte of a word padded with zero.
        unsigned char last[2] = {*bytes, 0};
        sum += Get16(last);
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<uint16_t>(~sum);
}

size_t BuildEchoRequest(unsigned char* packet, size_t dataBytes, uint16_t identifier, uint16_t sequence,
                        uint32_t tick)
{
    dataBytes = std::min(dataBytes, kEchoMaxData);
    size_t size = kEchoHeaderSize + dataBytes;
    packet[0] = kEchoRequest;
    packet[1] = 0;
    Put16(packet + 2, 0);
    Put16(packet + 4, identifier);
    Put16(packet + 6, sequence);
    std::memcpy(packet + 8, &tick, sizeof tick);
    std::memset(packet + kEchoHeaderSize, 'E', dataBytes);
    Put16(packet + 2, InternetChecksum(packet, size));
    return size;
}

std::unique_ptr<EchoSocket> OpenSystemEchoSocket()
{
    bool datagram = true;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        datagram = false;
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    }
    if (fd < 0) {
        return nullptr;
    }
    timeval second{1, 0};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<SystemEchoSocket>(fd, datagram);
}

void SetEchoSocketOpener(EchoSocketOpener opener)
{
    std::lock_guard lock(openerMutex);
    Opener() = std::move(opener);
}

void ResetEchoSocketOpener()
{
    SetEchoSocketOpener(nullptr);
}

} // namespace zyr::web

DWORD ProbeHost(const char* host, DWORD dataSize)
{
    using namespace zyr::web;
    if (host == nullptr) {
        return kHostUnreachable;
    }
    std::unique_ptr<EchoSocket> socket;
    {
        std::lock_guard lock(openerMutex);
        socket = Opener() ? Opener()() : OpenSystemEchoSocket();
    }
    if (!socket) {
        return kHostUnreachable;
    }
    sockaddr_in to{};
    if (!Resolve(host, to)) {
        return kHostUnreachable;
    }

    size_t dataBytes = dataSize == 0 ? kEchoDefaultData : std::min<size_t>(dataSize, kEchoMaxData);
    auto identifier = static_cast<uint16_t>(::getpid() & 0xFFFF);
    unsigned char packet[kEchoBufferSize] = {};
    unsigned char answer[kEchoBufferSize];
    bool timedOut = false;
    for (uint16_t sequence = 0; sequence < kEchoCount; ++sequence) {
        size_t size = BuildEchoRequest(packet, dataBytes, identifier, sequence, TickCount());
        EchoSocket::Io sent = socket->Send(packet, size, to);
        if (sent == EchoSocket::Io::TimedOut) {
            timedOut = true;
            continue;
        }
        if (sent == EchoSocket::Io::Failed) {
            return kHostUnreachable;
        }
        // Wait a second for the reply to this echo; other ICMP traffic that
        // reaches the socket meanwhile is passed over.
        auto deadline = std::chrono::steady_clock::now() + kEchoWait;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                timedOut = true;
                break;
            }
            size_t received = 0;
            EchoSocket::Io got = socket->Receive(answer, sizeof answer, received, left);
            if (got == EchoSocket::Io::TimedOut) {
                timedOut = true;
                break;
            }
            if (got == EchoSocket::Io::Failed) {
                return kHostUnreachable;
            }
            if (received >= 8 && answer[0] == kEchoReply && Get16(answer + 6) == sequence &&
                (socket->RewritesIdentifier() || Get16(answer + 4) == identifier)) {
                break;
            }
        }
    }
    return timedOut ? kHostUnreachable : 0;
}
