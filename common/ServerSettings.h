// Process-wide configuration: where the security server is, where the cache
// files live, the administrator's switches, the computer and the operator.
// Each fact is read on first use and kept until ResetServerSettings.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>
#include <string_view>

// Fill the caller's buffer; size is the capacity in bytes on entry and the
// length of the value (or the length needed) on return.
HRESULT GetSecurityServerUrl(char* buffer, DWORD* size);
HRESULT GetCachePath(char* buffer, DWORD* size);
HRESULT IsNovellClient(bool* isNovell);
std::string GetLocalComputerName();
HRESULT GetLogonUser(std::string& domain, std::string& user);
void GetFullUserName(std::string& fullName);
// Exported by name from the module; texts are wide (UTF-16).
HRESULT SetSecurityServer(const char16_t* accessKey, const char16_t* serverUrl);

namespace zyr {

// The key that callers of SetSecurityServer present: programs of the framework
// (the command-line tool among them) that point this process at another server.
inline constexpr char16_t kSecurityServerAccessKey[] = u"{5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458}";

// Views of the process-wide state for the other layers.
struct ServerSettingsView {
    bool eventLogging = false; // either event-logging switch is on
    bool useServerAdsi = false;
    bool ntGroupSupport = false;
    bool sourceDomainSet = false;
    std::string sourceDomainForGroups;
    LONG httpTimeOutSeconds = -1; // -1: not known yet
};
ServerSettingsView CurrentServerSettings();

// How the carriers reach the server besides its URL, under the same key:
// "UnixSocket" (connect through that local socket; the URL still names the
// page and is what messages show) and "CAFile" (the certificate authorities
// trusted for https, beside the system's). Empty when not set. Each is read on
// first use; the setters replace it for this process (zyrsec's options), or
// answer false and change nothing for a path over 259 bytes.
std::string ServerUnixSocket();
std::string ServerCaFile();
bool SetServerUnixSocket(std::string_view path);
bool SetServerCaFile(std::string_view path);

// Part of the HTTP carrier's state that belongs to the settings: the GET time-out.
LONG GetHttpTimeOut();
void SetHttpTimeOut(LONG seconds);
bool EventLoggingOn();

// Forgets every cached fact, as a new process would (tests).
void ResetServerSettings();

} // namespace zyr
