#include "signin/SetupCheck.h"

#include "common/ErrorTrace.h"
#include "common/ServerSettings.h"
#include "platform/com/ClassTable.h"
#include "signin/SignIn.h"
#include "signin/components/AuthInterfaces.h"
#include "web/SecurityPost.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace zyr::signin {

namespace {

namespace fs = std::filesystem;

// The fixed body of the server's plain requests.
constexpr const char* kPlainBody = "Junk=Junk";

void Trace(const std::string& cause)
{
    DebugPrint("sign-in set-up: %s", cause.c_str());
    WriteEventLog("%.259s", cause.c_str());
}

} // namespace

const FrameworkComponent& AuthenticationComponent()
{
    static const FrameworkComponent component{"authentication", "Morvel.Authenticate",
                                              "libzyr_authentication.so", CLSID_KvtAuthenticate,
                                              IID_IKvtAuthenticate};
    return component;
}

const FrameworkComponent& AuthorizationComponent()
{
    static const FrameworkComponent component{"authorization", "Morvel.Authorize", "libzyr_authorization.so",
                                              CLSID_KvtAuthorize, IID_IKvtAuthorize};
    return component;
}

HRESULT ProbeComponent(const FrameworkComponent& component)
{
    zyr::com::ComPtr<IUnknown> object;
    return CoCreateInstance(component.clsid, nullptr, CLSCTX_ALL, component.iid, object.PutVoid());
}

std::string ComponentModulePath(const char* moduleFile)
{
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path lib = program.parent_path().parent_path() / "lib";
        std::vector<fs::path> candidates{lib / moduleFile, lib / "zyr-security-manager" / moduleFile};
        for (fs::directory_iterator it(lib, error), end; !error && it != end; it.increment(error)) {
            candidates.push_back(it->path() / "zyr-security-manager" / moduleFile);
        }
        for (const fs::path& candidate : candidates) {
            if (fs::is_regular_file(candidate, error)) {
                return candidate.lexically_normal().string();
            }
        }
    }
    return moduleFile;
}

std::string ComponentFault(const FrameworkComponent& component, HRESULT hr)
{
    return std::string("The ") + component.name + " component (ProgID " + component.progId + ")" +
           (hr == REGDB_E_CLASSNOTREG ? " is not registered in this registry store"
                                      : " is registered but its module cannot be loaded");
}

std::string RegisterCommand(const char* moduleFile)
{
    return "zyr-register " + ComponentModulePath(moduleFile);
}

std::string ComponentProblem(const FrameworkComponent& component, HRESULT hr)
{
    return ComponentFault(component, hr) + "; register it with: " + RegisterCommand(component.moduleFile);
}

std::string SetServerUrlCommand()
{
    return "zyr-reg add \"HKLM\\SOFTWARE\\Tarnwick\\ZYR\" /v URL /d http://HOST:PORT/zyr/security";
}

std::string NoServerUrlProblem()
{
    return "No security server is configured: set it with " + SetServerUrlCommand() + " (or use --server)";
}

ServerProbe ProbeServer(const std::string& url)
{
    ServerProbe probe;
    const auto start = std::chrono::steady_clock::now();
    const std::string reply = PostSecurityRequest(url + "?Operation=GetServerVersion", kPlainBody);
    probe.milliseconds = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
    if (reply.empty()) {
        probe.error = "the URL is not an http:// or https:// address the server answers";
    } else if (reply.rfind("800 ", 0) == 0) {
        probe.error = reply.substr(4);
    } else if (reply == "800") {
        probe.error = "the server reported an error";
    } else if (reply == "401") {
        // A server that authenticates its callers answered all the same.
        probe.answered = true;
        probe.asksCredentials = true;
    } else if (reply.size() == 3 && reply[0] >= '4' && reply[0] <= '5') {
        probe.error = "the server answered with HTTP status " + reply;
    } else {
        probe.answered = true;
        probe.version = reply;
    }
    return probe;
}

std::string UnreachableServerProblem(const std::string& url, const ServerProbe& probe)
{
    return ConnectionFailureMessage(url) + "\nThe security server at " + url + " does not answer (" +
           probe.error + "): check that it runs and that the URL names it";
}

std::string FindSetupProblem()
{
    char buffer[1024] = {};
    DWORD size = sizeof(buffer);
    std::string problem;
    if (FAILED(GetSecurityServerUrl(buffer, &size)) || buffer[0] == '\0') {
        problem = NoServerUrlProblem();
    }
    for (const FrameworkComponent* component : {&AuthenticationComponent(), &AuthorizationComponent()}) {
        if (!problem.empty()) {
            break;
        }
        const HRESULT hr = ProbeComponent(*component);
        if (FAILED(hr)) {
            problem = ComponentProblem(*component, hr);
        }
    }
    if (problem.empty()) {
        const ServerProbe probe = ProbeServer(buffer);
        if (!probe.answered) {
            problem = UnreachableServerProblem(buffer, probe);
        }
    }
    if (!problem.empty()) {
        Trace(problem);
    }
    return problem;
}

} // namespace zyr::signin
