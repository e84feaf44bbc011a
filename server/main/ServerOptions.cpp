#include "server/main/ServerOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zyr::server {

namespace {

constexpr const char* kUsage =
    "usage: zyr-security-server --db PATH|CONNINFO [OPTIONS]\n"
    "\n"
    "Options:\n"
    "  --db PATH|CONNINFO     the SQLite file, or a PostgreSQL connection string\n"
    "                         (postgresql://user@host:port/db)\n"
    "  --listen ADDRESS:PORT  where to listen (default 127.0.0.1:8780; port 0 picks a free port)\n"
    "  --listen unix:PATH     listen on a Unix socket instead (mode 0666; a stale socket file\n"
    "                         is replaced, and the file is removed at exit)\n"
    "  --seed demo|large:A,G,O,R,M,L[,T]\n"
    "                         fill an empty database once\n"
    "  --seed-admin DOMAIN\\user\n"
    "                         the demo's security administrator (default: this account)\n"
    "  --tls-cert FILE        serve HTTPS with this PEM certificate chain ...\n"
    "  --tls-key FILE         ... and this PEM key\n"
    "  --auth peer|basic|negotiate|negotiate,basic\n"
    "                         how callers prove who they are: peer reads the account of the\n"
    "                         process at the other end of the Unix socket (the default there);\n"
    "                         basic takes an HTTP Basic user name and password and checks them\n"
    "                         with PAM service zyr-security-server (the default on TCP);\n"
    "                         negotiate takes a Kerberos ticket (SPNEGO); negotiate,basic offers\n"
    "                         both. On TCP only on loopback or with TLS\n"
    "  --keytab FILE          the keytab with the key of HTTP/HOST@REALM, for negotiate (read\n"
    "                         anew for each ticket, so a renewed key needs no restart)\n"
    "  --realm-domain REALM=DOMAIN\n"
    "                         name the accounts of REALM DOMAIN\\user (repeatable; a realm not\n"
    "                         named gives its first label: alice@PLANT.EXAMPLE is PLANT\\alice)\n"
    "  --insecure-no-auth     serve everyone without authentication (loopback or Unix socket\n"
    "                         only; for tests)\n"
    "  --threads N            request threads, 1 to 64 (default 4)\n"
    "  --max-connections N    connections served at once; more answer 503 (default: from the\n"
    "                         open-files limit)\n"
    "  --sync full|normal     full (the default) puts every change on disk before answering\n"
    "  --read-timeout-ms N    longest time to read one request\n"
    "  --idle-timeout-ms N    longest wait for the next request on a kept-alive connection\n"
    "  --enable-test-controls accept the fault-injection requests of the tests\n"
    "  --log-level LEVEL      error, warning, info (the default) or debug\n"
    "  --help                 this text\n"
    "  --version              the program's version\n"
    "\n"
    "A listening socket passed by the service manager (LISTEN_FDS) takes the place of --listen.\n"
    "SIGHUP reads the TLS certificate and key again; SIGTERM and SIGINT stop after the\n"
    "requests in flight.\n";

bool ParseListen(const std::string& text, HttpServerOptions& http)
{
    if (text.rfind("unix:", 0) == 0) {
        http.unixPath = text.substr(5);
        return !http.unixPath.empty();
    }
    http.unixPath.clear();
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    unsigned port = 0;
    const char* begin = text.data() + colon + 1;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(begin, end, port);
    if (begin == end || ec != std::errc() || ptr != end || port > 65535) {
        return false;
    }
    http.address = host;
    http.port = static_cast<uint16_t>(port);
    return true;
}

// The --auth value; none may follow --insecure-no-auth.
bool ParseAuth(const std::string& text, bool noAuth, AuthMode& mode)
{
    if (noAuth) {
        return false;
    }
    if (text == "peer" || text == "basic" || text == "negotiate") {
        mode = text == "peer" ? AuthMode::Peer : text == "basic" ? AuthMode::Basic : AuthMode::Negotiate;
        return true;
    }
    if (text == "negotiate,basic" || text == "basic,negotiate") {
        mode = AuthMode::NegotiateOrBasic;
        return true;
    }
    return false;
}

// REALM=DOMAIN: a realm and a domain of printable characters, the domain
// without the separators of account names.
bool ParseRealmDomain(const std::string& text, std::map<std::string, std::string>& realmDomains)
{
    size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
        return false;
    }
    auto printable = [](char c) { return static_cast<unsigned char>(c) > 0x20 && c != 0x7f; };
    std::string realm = text.substr(0, equals);
    std::string domain = text.substr(equals + 1);
    if (!std::all_of(text.begin(), text.end(), printable) || realm.find('@') != std::string::npos ||
        domain.find_first_of("\\/@=") != std::string::npos) {
        return false;
    }
    for (char& c : realm) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    realmDomains[realm] = domain;
    return true;
}

} // namespace

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& out, std::string& message)
{
    auto fail = [&](const std::string& why) {
        message = why + "\n" + kUsage;
        return false;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= args.size()) {
                return false;
            }
            target = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            message = kUsage;
            return false;
        } else if (arg == "--listen") {
            if (!value(v) || !ParseListen(v, out.http)) {
                return fail("--listen needs ADDRESS:PORT or unix:PATH");
            }
        } else if (arg == "--db") {
            if (!value(out.database) || out.database.empty()) {
                return fail("--db needs a path or a connection string");
            }
        } else if (arg == "--seed") {
            if (!value(v)) {
                return fail("--seed needs demo or large:A,G,O,R,M,L[,T]");
            }
            if (v == "demo") {
                out.seed = ServerOptions::Seed::Demo;
            } else if (ParseLargeSeed(v, out.large)) {
                out.seed = ServerOptions::Seed::Large;
            } else {
                return fail("--seed needs demo or large:A,G,O,R,M,L[,T]");
            }
        } else if (arg == "--seed-admin") {
            if (!value(out.seedAdmin) || out.seedAdmin.empty()) {
                return fail("--seed-admin needs DOMAIN\\user");
            }
        } else if (arg == "--tls-cert") {
            if (!value(out.http.tlsCertificate)) {
                return fail("--tls-cert needs a file");
            }
        } else if (arg == "--tls-key") {
            if (!value(out.http.tlsKey)) {
                return fail("--tls-key needs a file");
            }
        } else if (arg == "--threads") {
            int n = 0;
            if (!value(v) || std::from_chars(v.data(), v.data() + v.size(), n).ec != std::errc() || n < 1 ||
                n > 64) {
                return fail("--threads needs a number from 1 to 64");
            }
            out.http.threads = n;
        } else if (arg == "--max-connections") {
            int n = 0;
            if (!value(v) || std::from_chars(v.data(), v.data() + v.size(), n).ec != std::errc() || n < 1) {
                return fail("--max-connections needs a positive number");
            }
            out.http.maxConnections = n;
        } else if (arg == "--read-timeout-ms" || arg == "--idle-timeout-ms") {
            int ms = 0;
            if (!value(v) || std::from_chars(v.data(), v.data() + v.size(), ms).ec != std::errc() || ms < 1) {
                return fail(arg + " needs a number of milliseconds");
            }
            (arg == "--read-timeout-ms" ? out.http.readTimeout : out.http.idleTimeout) =
                std::chrono::milliseconds(ms);
        } else if (arg == "--sync") {
            if (!value(v) || (v != "full" && v != "normal")) {
                return fail("--sync needs full or normal");
            }
            out.fullSync = v == "full";
        } else if (arg == "--auth") {
            if (!value(v) || !ParseAuth(v, out.http.auth == AuthMode::None, out.http.auth)) {
                return fail(out.http.auth == AuthMode::None
                                ? "--auth and --insecure-no-auth exclude each other"
                                : "--auth needs peer, basic, negotiate or "
                                  "negotiate,basic");
            }
        } else if (arg == "--keytab") {
            if (!value(out.http.keytab) || out.http.keytab.empty()) {
                return fail("--keytab needs a file");
            }
        } else if (arg == "--realm-domain") {
            if (!value(v) || !ParseRealmDomain(v, out.http.realmDomains)) {
                return fail("--realm-domain needs REALM=DOMAIN");
            }
        } else if (arg == "--insecure-no-auth") {
            if (out.http.auth != AuthMode::Default && out.http.auth != AuthMode::None) {
                return fail("--auth and --insecure-no-auth exclude each other");
            }
            out.http.auth = AuthMode::None;
        } else if (arg == "--enable-test-controls") {
            out.testControls = true;
        } else if (arg == "--log-level") {
            if (!value(v) || !ParseLogLevel(v, out.logLevel)) {
                return fail("--log-level needs error, warning, info or debug");
            }
        } else {
            return fail("unknown argument: " + arg);
        }
    }
    if (out.database.empty()) {
        return fail("--db is required");
    }
    if (out.http.tlsCertificate.empty() != out.http.tlsKey.empty()) {
        return fail("--tls-cert and --tls-key go together");
    }
    const bool negotiate =
        out.http.auth == AuthMode::Negotiate || out.http.auth == AuthMode::NegotiateOrBasic;
    if (negotiate == out.http.keytab.empty()) {
        return fail(negotiate ? "--auth negotiate needs --keytab FILE"
                              : "--keytab goes with --auth negotiate");
    }
    if (!negotiate && !out.http.realmDomains.empty()) {
        return fail("--realm-domain goes with --auth negotiate");
    }
    return true;
}

} // namespace zyr::server
