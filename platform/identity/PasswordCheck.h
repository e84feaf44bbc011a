// An account's password checked by PAM under a named service, the one way
// the console's authentication component and the security server ask.
//
// ZYR_PAM_CONFDIR, when set, names the folder of PAM service files to use
// instead of /etc/pam.d (tests run against pam_matrix that way).
#pragma once

#include <string>

namespace zyr::identity {

// How the check runs: as a program run by the operator, or quietly and
// without PAM's delay after a failure, for a server whose request threads the
// delay would hold (its own limit per address stands in for it).
enum class PamMode { Interactive, Server };

// True when PAM authenticates user with password and lets the account in now.
bool PamAccepts(const char* service, const std::string& user, const std::string& password, PamMode mode);

} // namespace zyr::identity
