// Reachability of the security server's host: the host part of a URL, and an
// ICMP echo probe of four echoes with one-second time-outs.
#pragma once

#include "platform/com/WinTypes.h"

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

// Copies the host of url (user part, port, path and query left out) into
// buffer with its terminator. False when it does not fit in capacity bytes.
bool GetUrlHost(std::string_view url, char* buffer, size_t capacity);

constexpr DWORD kHostUnreachable = 0xFFFF;
// Sends four echo requests to host (name or dotted address) carrying dataSize
// data bytes (0: the default of 32). Answers 0 when every echo was answered
// within a second, kHostUnreachable otherwise (also when the host cannot be
// resolved or no ICMP socket can be had).
DWORD ProbeHost(const char* host, DWORD dataSize);

namespace zyr::web {

// Echo request layout: type, code, checksum, identifier, sequence, the
// millisecond tick count, then the data bytes ('E').
constexpr size_t kEchoHeaderSize = 12;
constexpr size_t kEchoDefaultData = 32;
constexpr size_t kEchoBufferSize = 1024;
constexpr size_t kEchoMaxData = kEchoBufferSize - kEchoHeaderSize;

// RFC 1071 Internet checksum of size bytes, ready to be stored in host order.
uint16_t InternetChecksum(const void* data, size_t size);
// Writes an echo request of kEchoHeaderSize + dataBytes bytes (dataBytes at
// most kEchoMaxData) into packet, checksum included. Returns its size.
size_t BuildEchoRequest(unsigned char* packet, size_t dataBytes, uint16_t identifier, uint16_t sequence,
                        uint32_t tick);

// The socket layer of the probe, replaceable so that tests can answer or
// time out without a network.
class EchoSocket {
public:
    enum class Io { Done, TimedOut, Failed };
    virtual ~EchoSocket() = default;
    virtual Io Send(const void* packet, size_t size, const sockaddr_in& to) = 0;
    // Waits at most wait for one ICMP message; on Done, message holds it
    // without any IP header.
    virtual Io Receive(void* message, size_t capacity, size_t& received, std::chrono::milliseconds wait) = 0;
    // True when the system replaces the echo identifier with its own (ICMP
    // datagram sockets), so replies cannot be matched on it.
    virtual bool RewritesIdentifier() const = 0;
};
// Opens a socket for one probe, or nothing when none can be had.
using EchoSocketOpener = std::function<std::unique_ptr<EchoSocket>()>;
void SetEchoSocketOpener(EchoSocketOpener opener);
// Back to the system's sockets: an unprivileged ICMP datagram socket where
// the system allows it, else a raw ICMP socket.
void ResetEchoSocketOpener();
std::unique_ptr<EchoSocket> OpenSystemEchoSocket();

} // namespace zyr::web
