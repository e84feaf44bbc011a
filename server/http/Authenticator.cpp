#include "server/http/Authenticator.h"

#include "platform/identity/PasswordCheck.h"
#include "server/service/Accounts.h"
#include "server/service/FormFields.h"
#include "server/service/ServerLog.h"

#include <sys/socket.h>
#include <sys/stat.h>

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

ConnectionProof::~ConnectionProof()
{
    Forget();
}

void ConnectionProof::Forget()
{
    Wipe(credentials);
    account.clear();
    negotiated = false;
}

HttpAuthenticator::HttpAuthenticator(Schemes schemes) : HttpAuthenticator(std::move(schemes), Limits{}) {}

HttpAuthenticator::HttpAuthenticator(Schemes schemes, Limits limits)
    : schemes_(std::move(schemes)), acceptor_(schemes_.keytab), limits_(limits)
{
}

bool HttpAuthenticator::Usable(std::string& reason) const
{
    if (!schemes_.negotiate) {
        return true;
    }
    if (schemes_.keytab.empty()) {
        reason = "--auth negotiate needs the service's keytab (--keytab FILE)";
        return false;
    }
    if (!acceptor_.Usable(reason)) {
        return false;
    }
    struct stat info {};
    if (::stat(schemes_.keytab.c_str(), &info) == 0 && (info.st_mode & 077) != 0) {
        LogWarning("the keytab " + schemes_.keytab + " may be read by other accounts: chmod 600 it");
    }
    return true;
}

std::vector<std::string> HttpAuthenticator::Challenges() const
{
    std::vector<std::string> challenges;
    if (schemes_.negotiate) {
        challenges.push_back("Negotiate");
    }
    if (schemes_.basic) {
        challenges.push_back(std::string("Basic realm=\"") + kAuthRealm + "\"");
    }
    return challenges;
}

HttpAuthenticator::Verdict HttpAuthenticator::Check(const std::string& address,
                                                    std::string_view authorization, Proof& proof)
{
    proof = Proof{};
    if (Blocked(address)) {
        return Verdict::Limited;
    }
    if (authorization.empty()) {
        return Verdict::Refused; // a first request without credentials is no failed attempt
    }
    constexpr std::string_view kNegotiate = "Negotiate ";
    bool ok = false;
    if (schemes_.negotiate && authorization.size() > kNegotiate.size() &&
        EqualsNoCase(authorization.substr(0, kNegotiate.size()), kNegotiate)) {
        ok = CheckNegotiate(authorization.substr(kNegotiate.size()), proof);
    } else if (schemes_.basic) {
        ok = CheckBasic(authorization, proof.account);
    }
    if (ok) {
        return Verdict::Ok;
    }
    proof.account.clear();
    proof.replyToken.clear();
    return Failed(address) ? Verdict::Limited : Verdict::Refused;
}

HttpAuthenticator::Verdict HttpAuthenticator::Admit(const std::string& address,
                                                    std::string_view authorization,
                                                    ConnectionProof& connection, Proof& proof)
{
    if (!connection.account.empty() &&
        (connection.negotiated ? authorization.empty() : authorization == connection.credentials)) {
        proof = Proof{};
        proof.account = connection.account;
        return Verdict::Ok;
    }
    if (!authorization.empty()) {
        connection.Forget();
    }
    Verdict verdict = Check(address, authorization, proof);
    if (verdict == Verdict::Ok) {
        connection.account = proof.account;
        connection.negotiated = proof.negotiated;
        if (!proof.negotiated) {
            connection.credentials.assign(authorization);
        }
    }
    return verdict;
}

bool HttpAuthenticator::CheckNegotiate(std::string_view token, Proof& proof) const
{
    NegotiateOutcome outcome;
    if (!acceptor_.Accept(token, outcome)) {
        proof.refusal = outcome.error;
        return false;
    }
    proof.account = PrincipalAccount(outcome.principal, schemes_.realmDomains);
    if (proof.account.empty()) {
        proof.refusal = "the principal " + outcome.principal + " names no user";
        return false;
    }
    proof.negotiated = true;
    proof.replyToken = std::move(outcome.replyToken);
    return true;
}

bool HttpAuthenticator::CheckBasic(std::string_view authorization, std::string& account) const
{
    constexpr std::string_view kScheme = "Basic ";
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
    return ok;
}

bool HttpAuthenticator::Blocked(const std::string& address)
{
    std::lock_guard lock(mutex_);
    auto it = attempts_.find(address);
    return it != attempts_.end() && std::chrono::steady_clock::now() < it->second.blockedUntil;
}

long HttpAuthenticator::RetryAfter(const std::string& address)
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
bool HttpAuthenticator::Failed(const std::string& address)
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
