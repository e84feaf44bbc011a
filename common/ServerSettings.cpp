#include "common/ServerSettings.h"

#include "common/DirectoryClientIdentity.h"
#include "common/ErrorTrace.h"
#include "platform/com/ClassTable.h"
#include "platform/identity/Identity.h"
#include "platform/registry/RegKey.h"
#include "platform/text/BoundedText.h"
#include "platform/text/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

// The URL that SetSecurityServer set in this process, or null. A program that
// exports it (the command-line tool) points the framework's component
// modules, which keep settings of their own, at the same server.
extern "C" const char* ZyrProcessSecurityServer();
// The same for the paths SetServerUnixSocket and SetServerCaFile set, by the
// registry value's name ("UnixSocket", "CAFile").
extern "C" const char* ZyrProcessServerPath(const char* name);

namespace {

constexpr const char* kFrameworkKey = "SOFTWARE\\Tarnwick\\ZYR";
constexpr const char* kClientKey = "Software\\Tarnwick\\Zyr";
constexpr std::u16string_view kAccessKey = zyr::kSecurityServerAccessKey;

struct ServerSettingsState {
    zyr::text::BoundedText<260> serverUrl;
    bool serverUrlKnown = false;
    bool serverUrlSet = false; // by SetSecurityServer
    zyr::text::BoundedText<260> cacheDirectory;
    bool cacheDirectoryKnown = false;
    bool eventLogging = false;
    bool eventLoggingSecond = false;
    bool directoryClient = false;
    bool directoryClientRead = false;
    bool useServerAdsi = false;
    bool ntGroupSupport = false;
    zyr::text::BoundedText<256> sourceDomainForGroups;
    bool sourceDomainSet = false;
    LONG httpTimeOut = -1;
    zyr::text::BoundedText<260> unixSocket;
    bool unixSocketKnown = false;
    bool unixSocketSet = false; // by SetServerUnixSocket
    zyr::text::BoundedText<260> caFile;
    bool caFileKnown = false;
    bool caFileSet = false; // by SetServerCaFile
};

ServerSettingsState& State()
{
    static ServerSettingsState state;
    return state;
}

std::string_view Trim(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// Copies a cached value into the caller's buffer when it fits with its
// terminator; reports its length either way.
HRESULT CopyOut(std::string_view value, char* buffer, DWORD* size)
{
    DWORD capacity = *size;
    *size = static_cast<DWORD>(value.size());
    if (value.size() + 1 > capacity) {
        return E_FAIL;
    }
    std::memcpy(buffer, value.data(), value.size());
    buffer[value.size()] = '\0';
    return S_OK;
}

// A number switch: a nonzero value turns it on, zero leaves it as it was.
bool ReadSwitch(HKEY key, const char* name, bool& setting)
{
    DWORD value = 0;
    if (!zyr::registry::ReadDword(key, name, value)) {
        return false;
    }
    if (value != 0) {
        setting = true;
    }
    return true;
}

// "\" becomes "/", a separator is appended, and doubled separators are folded
// in one pass from left to right.
std::string NormaliseDirectory(std::string_view configured)
{
    std::string path(Trim(configured));
    path.push_back('/');
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::string folded;
    folded.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        folded.push_back(path[i]);
        if (path[i] == '/' && i + 1 < path.size() && path[i + 1] == '/') {
            ++i;
        }
    }
    return folded;
}

// An existing directory that can be written to: a directory without any write
// permission bit counts as read-only even for a user who could write anyway.
bool IsUsableDirectory(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(path.c_str(), W_OK) == 0;
}

// The account's own folder in the temporary directory ($TMPDIR or /tmp/):
// "zyr-UID/", made 0700 when missing, ending with "/". The cache files hold
// the role and access lists under a built-in pass phrase, so the folder's
// mode is what keeps them from other accounts; and fixed file names straight
// in a shared folder would let another account plant a link in their place.
// Empty when the folder is not a real folder of this account.
std::string TemporaryDirectory()
{
    const char* configured = std::getenv("TMPDIR");
    std::string path = configured != nullptr && configured[0] != '\0' ? configured : "/tmp/";
    if (path.back() != '/') {
        path.push_back('/');
    }
    // Without its final "/": lstat would follow a link named with one.
    const std::string folder = path + "zyr-" + std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
        return {};
    }
    if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
        return {};
    }
    return folder + "/";
}

void GetWindowsLogonUser(std::string& domain, std::string& user)
{
    domain.clear();
    user.clear();
    if (zyr::identity::LookupEffectiveAccount(domain, user)) {
        return;
    }
    domain.clear();
    user.clear();
    if (zyr::identity::LookupLoginUser(domain, user)) {
        return;
    }
    domain.clear();
    char name[256];
    DWORD size = sizeof(name);
    LONG error = zyr::identity::GetUserNameA(name, &size);
    if (error == ERROR_SUCCESS) {
        user = name;
        return;
    }
    DebugPrint("~~~~ GetUserName return: 0x%x", static_cast<unsigned>(error));
    user = "<unknown>";
}

HRESULT GetDirectoryClientUser(std::string& domain, std::string& user)
{
    try {
        IDirectoryClientIdentity* identity = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_DirectoryClientIdentity, nullptr,
                                      CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                      IID_IDirectoryClientIdentity, reinterpret_cast<void**>(&identity));
        if (FAILED(hr) || identity == nullptr) {
            return FAILED(hr) ? hr : E_FAIL;
        }
        std::u16string context;
        if (SUCCEEDED(identity->GetContext(&context))) {
            domain = zyr::text::Narrow(context);
        }
        std::u16string name;
        hr = identity->GetUserName(&name);
        if (SUCCEEDED(hr)) {
            user = zyr::text::Narrow(name);
        }
        identity->Release();
        return hr;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// A path value under the framework key, read once: trimmed, and taken as not
// set when it is blank or holds a control character (it could not name a file).
using ProcessPathLookup = const char* (*)(const char*);

std::string PathSetting(const char* name, zyr::text::BoundedText<260>& value, bool& known)
{
    // As with the URL: a path the command-line tool set for its run reaches
    // the component modules too.
    static const ProcessPathLookup host = [] {
        auto found = reinterpret_cast<ProcessPathLookup>(::dlsym(RTLD_DEFAULT, "ZyrProcessServerPath"));
        return found != &ZyrProcessServerPath ? found : nullptr;
    }();
    if (host != nullptr) {
        if (const char* path = host(name)) {
            return path;
        }
    }
    if (!known) {
        known = true;
        value.Clear();
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFrameworkKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            char text[260];
            if (zyr::registry::ReadText(key, name, text, sizeof(text))) {
                std::string_view path = Trim(text);
                bool printable = std::none_of(path.begin(), path.end(),
                                              [](char c) { return static_cast<unsigned char>(c) < 0x20; });
                if (printable) {
                    value = path;
                } else {
                    DebugPrint("The registry value %s holds a control character and is not used.", name);
                }
            }
            RegCloseKey(key);
        }
    }
    return value.str();
}

// Replaces a path value for this process and marks it set by the process; a
// path that does not fit changes nothing.
bool SetPathSetting(std::string_view path, zyr::text::BoundedText<260>& value, bool& known, bool& set)
{
    if (path.size() > value.capacity()) {
        return false;
    }
    value = path;
    known = true;
    set = true;
    return true;
}

// The URL that the process set with SetSecurityServer, as the framework's
// component modules (each with its own copy of these settings) find it.
using ProcessServerLookup = const char* (*)();

ProcessServerLookup ProcessServerOfHost()
{
    // Only a program that exports the symbol (the command-line tool) is
    // found; a module's own copy never is, nor is this copy itself.
    static const ProcessServerLookup lookup = [] {
        auto found = reinterpret_cast<ProcessServerLookup>(::dlsym(RTLD_DEFAULT, "ZyrProcessSecurityServer"));
        return found != &ZyrProcessSecurityServer ? found : nullptr;
    }();
    return lookup;
}

// Checks an out-buffer and its size, notes the room it has and leaves it
// holding the empty text; false without either.
bool StartOut(char* buffer, const DWORD* size, DWORD& capacity)
{
    if (buffer == nullptr || size == nullptr) {
        return false;
    }
    capacity = *size;
    if (capacity > 0) {
        buffer[0] = '\0';
    }
    return true;
}

} // namespace

extern "C" const char* ZyrProcessServerPath(const char* name)
{
    const ServerSettingsState& state = State();
    const std::string_view key = name != nullptr ? name : "";
    if (key == "UnixSocket" && state.unixSocketSet) {
        return state.unixSocket.c_str();
    }
    if (key == "CAFile" && state.caFileSet) {
        return state.caFile.c_str();
    }
    return nullptr;
}

extern "C" const char* ZyrProcessSecurityServer()
{
    const ServerSettingsState& state = State();
    return state.serverUrlSet ? state.serverUrl.c_str() : nullptr;
}

HRESULT GetSecurityServerUrl(char* buffer, DWORD* size)
{
    DWORD capacity = 0;
    if (!StartOut(buffer, size, capacity)) {
        return E_POINTER;
    }
    ServerSettingsState& state = State();
    // Every part of a run talks to the server that the run was pointed at.
    if (ProcessServerLookup host = ProcessServerOfHost()) {
        if (const char* url = host()) {
            return CopyOut(url, buffer, size);
        }
    }
    if (state.serverUrlKnown) {
        return CopyOut(state.serverUrl.view(), buffer, size);
    }
    state.serverUrl.Clear();
    *size = 0;
    zyr::registry::RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kFrameworkKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    bool found = false;
    bool fits = true;
    char text[256];
    if (zyr::registry::ReadText(key, "URL", text, sizeof(text))) {
        state.serverUrl = Trim(text);
        state.serverUrlKnown = true;
        *size = capacity;
        fits = SUCCEEDED(CopyOut(state.serverUrl.view(), buffer, size));
        found = true;
    }
    found |= ReadSwitch(key, "EventLogging", state.eventLogging);
    found |= ReadSwitch(key, "UseServerADSI", state.useServerAdsi);
    found |= ReadSwitch(key, "NTGroupSupport", state.ntGroupSupport);
    if (zyr::registry::ReadText(key, "SourceDomainForGroups", text, sizeof(text))) {
        state.sourceDomainForGroups = Trim(text);
        state.sourceDomainSet = true;
        found = true;
    }
    // A buffer too small for the URL gets no partial copy.
    return found && fits ? S_OK : E_FAIL;
}

HRESULT GetCachePath(char* buffer, DWORD* size)
{
    DWORD capacity = 0;
    if (!StartOut(buffer, size, capacity)) {
        return E_POINTER;
    }
    ServerSettingsState& state = State();
    if (state.cacheDirectoryKnown) {
        return CopyOut(state.cacheDirectory.view(), buffer, size);
    }
    state.cacheDirectory.Clear();
    zyr::registry::RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kFrameworkKey, KEY_QUERY_VALUE) == ERROR_SUCCESS) {
        char text[260];
        bool present = zyr::registry::ReadText(key, "CachePath", text, sizeof(text));
        key.Close();
        // A blank value would name the root folder: it counts as not set.
        if (present && !Trim(text).empty()) {
            std::string path = NormaliseDirectory(text);
            if (IsUsableDirectory(path) && path.size() < capacity &&
                path.size() <= state.cacheDirectory.capacity()) {
                state.cacheDirectory = path;
                state.cacheDirectoryKnown = true;
                return CopyOut(path, buffer, size);
            }
        }
    }
    std::string temporary = TemporaryDirectory();
    if (temporary.empty()) {
        return E_FAIL;
    }
    if (temporary.size() + 1 > capacity || temporary.size() > state.cacheDirectory.capacity()) {
        *size = static_cast<DWORD>(temporary.size() + 1);
        return E_FAIL;
    }
    state.cacheDirectory = temporary;
    state.cacheDirectoryKnown = true;
    return CopyOut(temporary, buffer, size);
}

HRESULT IsNovellClient(bool* isNovell)
{
    ServerSettingsState& state = State();
    if (!state.directoryClientRead) {
        state.directoryClientRead = true;
        zyr::registry::RegKey key;
        if (key.Open(HKEY_LOCAL_MACHINE, kClientKey, KEY_QUERY_VALUE) == ERROR_SUCCESS) {
            DWORD value = 0;
            if (zyr::registry::ReadDword(key, "NovellClient", value) && value == 1) {
                state.directoryClient = true;
            }
            ReadSwitch(key, "EventLogging", state.eventLoggingSecond);
        }
    }
    if (isNovell != nullptr) {
        *isNovell = state.directoryClient;
    }
    return S_OK;
}

std::string GetLocalComputerName()
{
    char name[16];
    DWORD size = sizeof(name);
    if (zyr::identity::GetComputerNameA(name, &size) != ERROR_SUCCESS) {
        return "Unknown";
    }
    return name;
}

HRESULT GetLogonUser(std::string& domain, std::string& user)
{
    domain.clear();
    user.clear();
    bool directoryClient = false;
    IsNovellClient(&directoryClient);
    if (directoryClient) {
        return GetDirectoryClientUser(domain, user);
    }
    GetWindowsLogonUser(domain, user);
    return S_OK;
}

void GetFullUserName(std::string& fullName)
{
    std::string domain;
    std::string user;
    if (SUCCEEDED(GetLogonUser(domain, user))) {
        fullName = domain + "\\" + user;
    }
}

HRESULT SetSecurityServer(const char16_t* accessKey, const char16_t* serverUrl)
{
    try {
        if (accessKey == nullptr || std::u16string_view(accessKey) != kAccessKey) {
            return E_INVALIDARG;
        }
        if (serverUrl == nullptr) {
            return E_FAIL;
        }
        // Converted aside first: a URL that does not fit leaves the one in
        // force untouched.
        std::string converted;
        ServerSettingsState& state = State();
        if (!zyr::text::FromWide(serverUrl, converted) || converted.size() > state.serverUrl.capacity()) {
            return E_FAIL;
        }
        state.serverUrl = converted;
        state.serverUrlKnown = true;
        state.serverUrlSet = true;
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

namespace zyr {

ServerSettingsView CurrentServerSettings()
{
    const ServerSettingsState& state = State();
    ServerSettingsView view;
    view.eventLogging = state.eventLogging || state.eventLoggingSecond;
    view.useServerAdsi = state.useServerAdsi;
    view.ntGroupSupport = state.ntGroupSupport;
    view.sourceDomainSet = state.sourceDomainSet;
    view.sourceDomainForGroups = state.sourceDomainForGroups.str();
    view.httpTimeOutSeconds = state.httpTimeOut;
    return view;
}

std::string ServerUnixSocket()
{
    ServerSettingsState& state = State();
    return PathSetting("UnixSocket", state.unixSocket, state.unixSocketKnown);
}

std::string ServerCaFile()
{
    ServerSettingsState& state = State();
    return PathSetting("CAFile", state.caFile, state.caFileKnown);
}

bool SetServerUnixSocket(std::string_view path)
{
    ServerSettingsState& state = State();
    return SetPathSetting(path, state.unixSocket, state.unixSocketKnown, state.unixSocketSet);
}

bool SetServerCaFile(std::string_view path)
{
    ServerSettingsState& state = State();
    return SetPathSetting(path, state.caFile, state.caFileKnown, state.caFileSet);
}

LONG GetHttpTimeOut()
{
    return State().httpTimeOut;
}

void SetHttpTimeOut(LONG seconds)
{
    State().httpTimeOut = seconds;
}

bool EventLoggingOn()
{
    ServerSettingsState& state = State();
    if (state.eventLoggingSecond) {
        state.eventLogging = true;
    }
    return state.eventLogging;
}

void ResetServerSettings()
{
    State() = ServerSettingsState{};
}

} // namespace zyr
