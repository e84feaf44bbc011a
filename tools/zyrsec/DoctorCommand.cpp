// zyrsec doctor: the set-up of this machine checked step by step, each line
// with its verdict and, where something is wrong, the fix.
#include "audit/AuditEvents.h"
#include "audit/ComplianceFlag.h"
#include "common/ServerSettings.h"
#include "platform/com/ClassTable.h"
#include "platform/com/Guid.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/CodePage.h"
#include "signin/SetupCheck.h"
#include "signin/SignIn.h"
#include "tools/zyrsec/Commands.h"
#include "web/AuthSchemes.h"
#include "web/ServerConnection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

namespace zyr::zyrsec {

namespace {

namespace fs = std::filesystem;
namespace signin = zyr::signin;

enum class Verdict { Ok, Warn, Fail };

struct Check {
    std::string name;
    Verdict verdict = Verdict::Ok;
    std::string detail;
    std::string fix;
};

const char* VerdictText(Verdict verdict)
{
    return verdict == Verdict::Ok ? "OK" : verdict == Verdict::Warn ? "WARN" : "FAIL";
}

constexpr const char* kFrameworkKey = "SOFTWARE\\Tarnwick\\ZYR";
constexpr const char* kSnapinProgId = "Tarnwick.ZYR.KVTSnapin";

Check RegistryCheck()
{
    const std::string path = zyr::registry::HivePath(zyr::registry::HiveId::Machine);
    std::error_code error;
    if (!fs::exists(path, error)) {
        return {"registry store", Verdict::Fail, path + " does not exist",
                "set ZYR_REGISTRY_DIR to the store's folder, or configure this one (zyr-reg add ...)"};
    }
    const LONG status =
        zyr::registry::ReadHive(zyr::registry::HiveId::Machine, [](const auto&) { return ERROR_SUCCESS; });
    if (status == ERROR_BADDB) {
        return {"registry store", Verdict::Fail, path + " is malformed", "correct or restore the file"};
    }
    if (status != ERROR_SUCCESS) {
        return {"registry store", Verdict::Fail, path + " cannot be read", "give this account read access"};
    }
    return {"registry store", Verdict::Ok, path, ""};
}

// The configured URL, its form and the transport it implies.
std::vector<Check> UrlChecks(std::string& url)
{
    char buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (FAILED(GetSecurityServerUrl(buffer, &size)) || buffer[0] == '\0') {
        return {{"server URL", Verdict::Fail, "not set", signin::SetServerUrlCommand()}};
    }
    url = buffer;
    const size_t scheme = url.find("://");
    const std::string name = scheme == std::string::npos ? "" : url.substr(0, scheme);
    const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const std::string host = url.substr(hostStart, url.find_first_of(":/?", hostStart) - hostStart);
    if ((name != "http" && name != "https") || host.empty() ||
        url.find_first_of(" \t\r\n") != std::string::npos) {
        const std::string found = url;
        url.clear();
        return {{"server URL", Verdict::Fail, found + " is not an http:// or https:// URL with a host",
                 "set URL to http://HOST:PORT/zyr/security"}};
    }
    std::vector<Check> checks{{"server URL", Verdict::Ok, url, ""}};
    const bool loopback = zyr::web::IsLoopbackHost(host);
    const std::string socket = ServerUnixSocket();
    const std::string caFile = ServerCaFile();
    if (!caFile.empty()) {
        if (access(caFile.c_str(), R_OK) != 0) {
            checks.push_back({"CA file", Verdict::Fail, caFile + " cannot be read",
                              "point CAFile at the PEM file of the CA that signed the server's certificate"});
        } else if (name != "https") {
            checks.push_back({"CA file", Verdict::Warn, caFile + " is set but the URL is not https://",
                              "use an https:// URL, or delete the CAFile value"});
        } else {
            checks.push_back({"CA file", Verdict::Ok, caFile, ""});
        }
    }
    if (!socket.empty()) {
        struct stat info {};
        if (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
            checks.push_back(
                {"transport", Verdict::Fail, "Unix socket " + socket + " does not exist",
                 "start the server with --listen unix:" + socket + ", or delete the UnixSocket value"});
        } else if (name == "https") {
            checks.push_back({"transport", Verdict::Warn, "Unix socket " + socket + " with an https:// URL",
                              "use an http:// URL with UnixSocket: the socket needs no TLS"});
        } else {
            checks.push_back({"transport", Verdict::Ok, "Unix socket " + socket, ""});
        }
        return checks;
    }
    if (name == "https") {
        checks.push_back({"transport", Verdict::Ok, "TLS (https)", ""});
    } else if (loopback) {
        checks.push_back({"transport", Verdict::Ok, "plain HTTP on this machine", ""});
    } else {
        checks.push_back({"transport", Verdict::Warn,
                          "plain HTTP to " + host + ": requests travel unencrypted",
                          "serve the security server over TLS and use an https:// URL"});
    }
    return checks;
}

Check ServerCheck(const std::string& url, bool& answered)
{
    const signin::ServerProbe probe = signin::ProbeServer(url);
    answered = probe.answered;
    if (!probe.answered) {
        return {"server", Verdict::Fail, url + " does not answer (" + probe.error + ")",
                "start the security server, or correct the URL"};
    }
    // The schemes a request without credentials is offered: with Negotiate,
    // this account's Kerberos ticket may answer in place of a password.
    std::string schemes;
    for (const std::string& scheme : zyr::web::OfferedAuthSchemes(url + "?Operation=GetServerVersion")) {
        schemes += (schemes.empty() ? "" : ", ") + scheme;
    }
    const bool negotiate = schemes.find("Negotiate") != std::string::npos;
    std::string answer;
    if (probe.asksCredentials) {
        answer = "asks for the account's credentials (HTTP authentication" +
                 (schemes.empty() ? std::string() : ": " + schemes) + ")" +
                 (negotiate ? "; this account holds no Kerberos ticket it accepts (kinit)" : "");
    } else if (negotiate) {
        answer = "version " + probe.version + "; this account's Kerberos ticket is accepted (Negotiate)";
    } else {
        answer = "version " + probe.version +
                 "; accounts are checked on this machine by the authentication component";
    }
    return {"server", Verdict::Ok, answer + ", answered in " + std::to_string(probe.milliseconds) + " ms",
            ""};
}

Check ComponentCheck(const signin::FrameworkComponent& component)
{
    const std::string name = std::string(component.name) + " component";
    const HRESULT hr = signin::ProbeComponent(component);
    if (FAILED(hr)) {
        return {name, Verdict::Fail, signin::ComponentFault(component, hr),
                signin::RegisterCommand(component.moduleFile)};
    }
    return {name, Verdict::Ok, component.progId, ""};
}

Check AuditComponentsCheck()
{
    if (!CanCreateAuditComponents()) {
        return {"alarm and events components", Verdict::Fail,
                "not registered or not loadable: changes are refused while compliance mode is on",
                signin::RegisterCommand("libzyr_alarm_events.so")};
    }
    return {"alarm and events components", Verdict::Ok, "Morvel.AuditAndCompliance", ""};
}

// The snap-in module: its class registered and the module file present. The
// module is not loaded here: it brings the console's toolkit with it.
Check SnapinCheck()
{
    const std::string fix = signin::RegisterCommand("libzyrsnapin.so");
    CLSID clsid{};
    if (FAILED(CLSIDFromProgIDA(kSnapinProgId, &clsid))) {
        return {"snap-in module", Verdict::Fail, std::string(kSnapinProgId) + " is not registered", fix};
    }
    const std::string key = "CLSID\\" + zyr::com::GuidToString(clsid) + "\\InprocServer32";
    HKEY handle = nullptr;
    char module[1024] = {};
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &handle) == ERROR_SUCCESS) {
        zyr::registry::ReadText(handle, "", module, sizeof(module));
        RegCloseKey(handle);
    }
    if (module[0] == '\0' || access(module, R_OK) != 0) {
        return {"snap-in module", Verdict::Fail,
                std::string("registered module ") + (module[0] ? module : "(none)") + " is missing", fix};
    }
    return {"snap-in module", Verdict::Ok, module, ""};
}

// The configured cache folder; empty when none is configured.
std::string ConfiguredCachePath()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFrameworkKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return {};
    }
    char text[1024] = {};
    zyr::registry::ReadText(key, "CachePath", text, sizeof(text));
    RegCloseKey(key);
    std::string path = text;
    path.erase(0, path.find_first_not_of(" \t"));
    path.erase(path.find_last_not_of(" \t") + 1);
    return path;
}

Check CacheCheck()
{
    const std::string folder = ConfiguredCachePath();
    if (folder.empty()) {
        char buffer[1024] = {};
        DWORD size = sizeof(buffer);
        GetCachePath(buffer, &size);
        return {"cache folder", Verdict::Warn, std::string("not configured: the cache files go to ") + buffer,
                "mkdir -m 700 FOLDER; zyr-reg add \"HKLM\\SOFTWARE\\Tarnwick\\ZYR\" /v CachePath /d FOLDER"};
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return {"cache folder", Verdict::Fail, folder + " does not exist", "mkdir -m 700 " + folder};
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return {"cache folder", Verdict::Fail, folder + " is not writable by this account",
                "give this account the folder: chown and chmod 700 " + folder};
    }
    if ((info.st_mode & 077) != 0) {
        return {"cache folder", Verdict::Warn, folder + " is open to other accounts", "chmod 700 " + folder};
    }
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        struct stat file {};
        if (::lstat(it->path().c_str(), &file) == 0 && S_ISREG(file.st_mode) && (file.st_mode & 077) != 0) {
            return {"cache folder", Verdict::Warn, it->path().string() + " is open to other accounts",
                    "chmod 600 " + folder + "/*"};
        }
    }
    return {"cache folder", Verdict::Ok, folder + " (private, writable)", ""};
}

Check AccountCheck()
{
    signin::LoginFields fields;
    fields.useLogonUser = 1;
    signin::FillFromLogonUser(fields);
    const std::string account =
        std::string(fields.domain.view()) + "\\" + std::string(fields.userName.view());
    const signin::SignInVerdict verdict = signin::DecideSignIn(fields);
    if (verdict.end != signin::SignInEnd::EndOk) {
        const bool refused = verdict.message == signin::kRefusedMessage;
        return {
            "account", Verdict::Fail, account + ": " + verdict.message,
            refused
                ? "grant one of the account's roles \"Open\" on Morvel Framework/Security Manager/ZyrSnap-In"
                : "check the account and the server's log"};
    }
    if (!verdict.message.empty()) {
        return {
            "account", Verdict::Warn, account + " may open the console: " + verdict.message,
            "grant \"Open\" on Morvel Framework/Security Manager/ZyrSnap-In to the administrators' roles"};
    }
    return {"account", Verdict::Ok, account + " may open the console", ""};
}

Check ComplianceCheck(const std::string& url)
{
    VARIANT_BOOL flag = VARIANT_FALSE;
    if (FAILED(Get21CFR11Flag(url.c_str(), &flag))) {
        return {"compliance", Verdict::Warn, "the server did not report the compliance flag", ""};
    }
    if (flag == VARIANT_FALSE) {
        return {"compliance", Verdict::Ok, "off", ""};
    }
    if (IsAuditNotFunctional()) {
        return {"compliance", Verdict::Fail, "on, and the audit path does not work: changes are refused",
                "register the alarm and events components and check the server's audit trail"};
    }
    return {"compliance", Verdict::Ok, "on; the audit path works", ""};
}

Check CodePageCheck()
{
    const UINT codePage = zyr::text::ActiveCodePage();
    return {"code page", Verdict::Ok,
            codePage == zyr::text::CP_1252 ? "1252 (Western European)" : "65001 (UTF-8)", ""};
}

std::vector<Check> RunChecks()
{
    std::vector<Check> checks{RegistryCheck()};
    std::string url;
    for (Check& check : UrlChecks(url)) {
        checks.push_back(std::move(check));
    }
    bool answered = false;
    if (!url.empty()) {
        checks.push_back(ServerCheck(url, answered));
    }
    const Check authentication = ComponentCheck(signin::AuthenticationComponent());
    const Check authorization = ComponentCheck(signin::AuthorizationComponent());
    checks.push_back(authentication);
    checks.push_back(authorization);
    checks.push_back(AuditComponentsCheck());
    checks.push_back(SnapinCheck());
    if (answered && authentication.verdict == Verdict::Ok && authorization.verdict == Verdict::Ok) {
        checks.push_back(AccountCheck());
    } else {
        checks.push_back({"account", Verdict::Fail,
                          "not checked: sign-in needs the server and both components",
                          "mend the failures above"});
    }
    checks.push_back(CacheCheck());
    if (answered) {
        checks.push_back(ComplianceCheck(url));
    }
    checks.push_back(CodePageCheck());
    return checks;
}

} // namespace

int ShowDoctor(Context& context)
{
    const std::vector<Check> checks = RunChecks();
    bool failed = false;
    Json list = Json::Array();
    for (const Check& check : checks) {
        failed |= check.verdict == Verdict::Fail;
        Json item = Json::Object();
        item.Set("check", check.name);
        item.Set("status", VerdictText(check.verdict));
        item.Set("detail", check.detail);
        if (!check.fix.empty()) {
            item.Set("fix", check.fix);
        }
        list.Push(std::move(item));
        char line[64];
        std::snprintf(line, sizeof(line), "%-4s  %-28s ", VerdictText(check.verdict), check.name.c_str());
        context.text += line + check.detail + "\n";
        if (!check.fix.empty()) {
            context.text += "      fix: " + check.fix + "\n";
        }
    }
    context.json.Set("ok", !failed);
    context.json.Set("checks", std::move(list));
    context.answersFailure = true;
    return failed ? kExitFailed : kExitSuccess;
}

} // namespace zyr::zyrsec
