#include "server/http/Authenticator.h"

#include "platform/identity/PasswordCheck.h"
#include "server/service/Accounts.h"
#include "server/service/FormFields.h"
#include "server/service/ServerLog.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zyr::server {

namespace {

// Standard base64 with padding; false on anything else.
bool DecodeBase64(std::string_view text, std::string& out)
{
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    };
    out.clear();
    if (text.empty() || text.size() % 4 != 0) {
        return false;
    }
    for (size_t i = 0; i < text.size(); i += 4) {
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[i + k];
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                v[k] = 0;
                ++pad;
            } else if (pad > 0 || (v[k] = value(c)) < 0) {
                return false;
            }
        }
        uint32_t bits = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out += static_cast<char>(bits >> 16);
        if (pad < 2)
            out += static_cast<char>((bits >> 8) & 0xff);
        if (pad < 1)
            out += static_cast<char>(bits & 0xff);
    }
    return true;
}

void Wipe(std::string& secret)
{
    std::fill(secret.begin(), secret.end(), '\0');
    secret.clear();
}

} // namespace

bool PeerAccount(int fd, std::string& account)
{
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof(credentials)) {
        return false;
    }
    account = AccountOfUid(credentials.uid);
    return !account.empty();
}

bool ReadBasicUser(std::string_view user, std::string& account, std::string& pamUser)
{
    size_t slash = user.find('\\');
    std::string_view domain = slash == std::string_view::npos ? std::string_view{} : user.substr(0, slash);
    std::string_view login = slash == std::string_view::npos ? user : user.substr(slash + 1);
    if (login.empty() || login.find_first_of("\\@/") != std::string_view::npos ||
        domain.find_first_of("@/") != std::string_view::npos) {
        return false;
    }
    for (char c : user) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return false;
        }
    }
    std::string host = ShortHostName();
    if (domain.empty() || EqualsNoCase(domain, host)) {
        account = host + "\\" + std::string(login);
        pamUser = std::string(login);
    } else {
        account = std::string(domain) + "\\" + std::string(login);
        pamUser = std::string(login) + "@" + std::string(domain);
    }
    return true;
}

BasicAuthenticator::BasicAuthenticator() : BasicAuthenticator(Limits{}) {}

BasicAuthenticator::BasicAuthenticator(Limits limits) : limits_(limits) {}

BasicAuthenticator::Verdict BasicAuthenticator::Check(const std::string& address,
                                                      std::string_view authorization, std::string& account)
{
    if (Blocked(address)) {
        return Verdict::Limited;
    }
    constexpr std::string_view kScheme = "Basic ";
    if (authorization.empty()) {
        return Verdict::Refused; // a first request without credentials is no failed attempt
    }
    std::string decoded;
    std::string pamUser;
    bool ok = authorization.size() > kScheme.size() &&
              EqualsNoCase(authorization.substr(0, kScheme.size()), kScheme) &&
              DecodeBase64(authorization.substr(kScheme.size()), decoded);
    size_t colon = ok ? decoded.find(':') : std::string::npos;
    if (colon != std::string::npos) {
        std::string password = decoded.substr(colon + 1);
        ok = ReadBasicUser(std::string_view(decoded).substr(0, colon), account, pamUser) &&
             !password.empty() && password.find('\0') == std::string::npos &&
             identity::PamAccepts(kPamService, pamUser, password, identity::PamMode::Server);
        Wipe(password);
    } else {
        ok = false;
    }
    Wipe(decoded);
    if (ok) {
        return Verdict::Ok;
    }
    account.clear();
    return Failed(address) ? Verdict::Limited : Verdict::Refused;
}

bool BasicAuthenticator::Blocked(const std::string& address)
{
    std::lock_guard lock(mutex_);
    auto it = attempts_.find(address);
    return it != attempts_.end() && std::chrono::steady_clock::now() < it->second.blockedUntil;
}

long BasicAuthenticator::RetryAfter(const std::string& address)
{
    std::lock_guard lock(mutex_);
    auto it = attempts_.find(address);
    if (it == attempts_.end()) {
        return 0;
    }
    auto left =
        std::chrono::ceil<std::chrono::seconds>(it->second.blockedUntil - std::chrono::steady_clock::now());
    return std::max<long>(1, static_cast<long>(left.count()));
}

// True when this failure puts the address over the limit.
bool BasicAuthenticator::Failed(const std::string& address)
{
    auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    if (attempts_.size() > 10000) {
        // Forget the addresses that neither fail within the window nor wait out a block.
        std::erase_if(attempts_, [&](const auto& entry) {
            return now - entry.second.first > limits_.window && now >= entry.second.blockedUntil;
        });
    }
    Attempts& a = attempts_[address];
    if (a.failures == 0 || now - a.first > limits_.window) {
        a.failures = 0;
        a.first = now;
    }
    if (++a.failures < limits_.failures) {
        return false;
    }
    a.failures = 0;
    a.blockedUntil = now + limits_.block;
    LogWarning("authentication: too many failed attempts from " + address + "; refused for " +
               std::to_string(limits_.block.count()) + " s");
    return true;
}

} // namespace zyr::server
