// Tells the service manager about the server's state (READY=1, STOPPING=1,
// STATUS=...) through the datagram socket NOTIFY_SOCKET names.
#pragma once

#include <string>

namespace zyr::server {

// False when no service manager listens (NOTIFY_SOCKET unset) or the message
// could not be sent; the server runs on either way.
bool NotifyServiceManager(const std::string& state);

} // namespace zyr::server
