#include "platform/identity/Identity.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace zyr::identity {

namespace {

bool SystemHostName(std::string& name)
{
    char buffer[256];
    if (gethostname(buffer, sizeof(buffer)) != 0) {
        return false;
    }
    buffer[sizeof(buffer) - 1] = '\0';
    name = buffer;
    return true;
}

bool SystemEffectiveAccount(std::string& account)
{
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 4096);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        int rc = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || found == nullptr || found->pw_name == nullptr || found->pw_name[0] == '\0') {
            return false;
        }
        account = found->pw_name;
        return true;
    }
}

bool SystemLoginName(std::string& name)
{
    char buffer[256];
    if (getlogin_r(buffer, sizeof(buffer)) != 0 || buffer[0] == '\0') {
        return false;
    }
    name = buffer;
    return true;
}

std::optional<std::string> SystemEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

OsQueries& Installed()
{
    static OsQueries queries = SystemQueries();
    return queries;
}

std::optional<std::string> Environment(const char* name)
{
    const OsQueries& queries = Installed();
    return queries.environment ? queries.environment(name) : std::nullopt;
}

} // namespace

OsQueries SystemQueries()
{
    return {SystemHostName, SystemEffectiveAccount, SystemLoginName, SystemEnvironment};
}

void InstallOsQueries(OsQueries queries)
{
    Installed() = std::move(queries);
}

void ResetOsQueries()
{
    Installed() = SystemQueries();
}

std::string ShortHostName()
{
    std::string host;
    const OsQueries& queries = Installed();
    if (!queries.hostName || !queries.hostName(host)) {
        return {};
    }
    host = host.substr(0, host.find('.'));
    for (char& c : host) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return host;
}

LONG GetComputerNameA(char* buffer, DWORD* size)
{
    if (buffer == nullptr || size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::string name = ShortHostName();
    if (name.empty()) {
        return ERROR_NONE_MAPPED;
    }
    if (name.size() > 15 || name.size() + 1 > *size) {
        *size = static_cast<DWORD>(name.size() + 1);
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

void SplitAccount(const std::string& account, const std::string& localDomain, std::string& domain,
                  std::string& user)
{
    size_t slash = account.find('\\');
    if (slash != std::string::npos && slash > 0 && slash + 1 < account.size()) {
        domain = account.substr(0, slash);
        user = account.substr(slash + 1);
        return;
    }
    size_t at = account.rfind('@');
    if (at != std::string::npos && at > 0 && at + 1 < account.size()) {
        domain = account.substr(at + 1);
        user = account.substr(0, at);
        return;
    }
    domain = localDomain;
    user = account;
}

bool LookupEffectiveAccount(std::string& domain, std::string& user)
{
    std::string account;
    const OsQueries& queries = Installed();
    if (!queries.effectiveAccount || !queries.effectiveAccount(account) || account.empty()) {
        return false;
    }
    SplitAccount(account, ShortHostName(), domain, user);
    return true;
}

bool LookupLoginUser(std::string& domain, std::string& user)
{
    std::string name;
    const OsQueries& queries = Installed();
    if (!queries.loginName || !queries.loginName(name) || name.empty()) {
        return false;
    }
    domain.clear();
    user = name;
    return true;
}

LONG GetUserNameA(char* buffer, DWORD* size)
{
    if (buffer == nullptr || size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::optional<std::string> name = Environment("USER");
    if (!name || name->empty()) {
        name = Environment("LOGNAME");
    }
    if (!name || name->empty()) {
        return ERROR_ENVVAR_NOT_FOUND;
    }
    if (name->size() + 1 > *size) {
        *size = static_cast<DWORD>(name->size() + 1);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, name->c_str(), name->size() + 1);
    *size = static_cast<DWORD>(name->size() + 1);
    return ERROR_SUCCESS;
}

} // namespace zyr::identity
