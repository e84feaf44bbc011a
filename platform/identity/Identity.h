// The machine's name and the operating system's idea of the operator. The
// queries to the operating system are installable so that tests can drive
// every fallback.
#pragma once

#include "platform/com/WinTypes.h"

#include <functional>
#include <optional>
#include <string>

namespace zyr::identity {

constexpr LONG ERROR_BUFFER_OVERFLOW = 111;
constexpr LONG ERROR_ENVVAR_NOT_FOUND = 203;
constexpr LONG ERROR_NONE_MAPPED = 1332;

struct OsQueries {
    // The host name (gethostname); false on failure.
    std::function<bool(std::string& name)> hostName;
    // The account name of the effective user id (getpwuid_r).
    std::function<bool(std::string& account)> effectiveAccount;
    // The name of the user logged in on the controlling terminal (getlogin_r).
    std::function<bool(std::string& name)> loginName;
    // An environment variable, nothing when unset.
    std::function<std::optional<std::string>(const char* name)> environment;
};

OsQueries SystemQueries();
// Replaces the queries; a query left empty fails.
void InstallOsQueries(OsQueries queries);
void ResetOsQueries();

// The computer's NetBIOS-style name: the host name up to its first ".", in
// upper case. Names longer than 15 characters have no such name and fail with
// ERROR_BUFFER_OVERFLOW, as does a buffer that cannot hold the name and its
// terminator (*size then holds the bytes needed). On success *size holds the
// length without the terminator. Answers ERROR_SUCCESS or an error code.
LONG GetComputerNameA(char* buffer, DWORD* size);
// The short host name in upper case, whatever its length; empty on failure.
std::string ShortHostName();

// An account as the name service gives it: "user@realm" and "DOMAIN\user"
// (directory accounts served by SSSD or winbind) carry their domain; a plain
// name is a local account whose domain is the computer.
void SplitAccount(const std::string& account, const std::string& localDomain, std::string& domain,
                  std::string& user);

// The account of the effective user id, with its domain. False when the name
// service does not know the user id.
bool LookupEffectiveAccount(std::string& domain, std::string& user);
// The login name of the session; the domain is empty. False when there is none.
bool LookupLoginUser(std::string& domain, std::string& user);
// The user name from the environment (USER, then LOGNAME), into buffer of *size
// bytes. ERROR_ENVVAR_NOT_FOUND when neither is set, ERROR_INSUFFICIENT_BUFFER
// (and the bytes needed in *size) when it does not fit.
LONG GetUserNameA(char* buffer, DWORD* size);

} // namespace zyr::identity
