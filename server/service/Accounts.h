// How the server names accounts: the upper-case short host name, "\", the
// login name, as the rest of the system does.
#pragma once

#include <string>
#include <sys/types.h>

namespace zyr::server {

// This computer's short name in upper case ("LOCALHOST" when it has none).
std::string ShortHostName();

// "HOST\login" of the account with this user id; empty when the name
// service does not know it.
std::string AccountOfUid(uid_t uid);

} // namespace zyr::server
