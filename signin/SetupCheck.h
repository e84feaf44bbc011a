// What keeps sign-in from working on this machine, told in words an
// administrator can act on: no server URL, a framework component that cannot
// be created, a server that does not answer. zyrsec shows these causes; the
// console traces them beside its own message boxes.
#pragma once

#include "platform/com/Guid.h"

#include <string>

namespace zyr::signin {

// A framework component that programs create by class identity.
struct FrameworkComponent {
    const char* name;       // "authentication"
    const char* progId;     // "Morvel.Authenticate"
    const char* moduleFile; // "libzyr_authentication.so"
    CLSID clsid;
    IID iid;
};
const FrameworkComponent& AuthenticationComponent();
const FrameworkComponent& AuthorizationComponent();

// S_OK when an object of the component's class can be created; else
// REGDB_E_CLASSNOTREG (not registered) or CLASS_E_CLASSNOTAVAILABLE (its
// module cannot be loaded).
HRESULT ProbeComponent(const FrameworkComponent& component);

// Where the module file most likely is: beside this program's libraries
// (the build tree's lib folder or the installed private folder), else the
// bare file name.
std::string ComponentModulePath(const char* moduleFile);

// "The NAME component (ProgID P) is not registered ..." (or cannot be loaded).
std::string ComponentFault(const FrameworkComponent& component, HRESULT hr);
// "zyr-register PATH" for the component's module file.
std::string RegisterCommand(const char* moduleFile);
// The fault with its remedy.
std::string ComponentProblem(const FrameworkComponent& component, HRESULT hr);

// The command that sets the server's URL, and the whole message for a
// registry store without one.
std::string SetServerUrlCommand();
std::string NoServerUrlProblem();

// The answer of the server's version request.
struct ServerProbe {
    bool answered = false;
    std::string version;          // the reply when answered
    std::string error;            // the transport's or the server's failure otherwise
    long milliseconds = 0;        // time to answer
    bool asksCredentials = false; // answered 401: the server wants the account's credentials
};
ServerProbe ProbeServer(const std::string& url);

// The console's connection message followed by the cause and the remedy.
std::string UnreachableServerProblem(const std::string& url, const ServerProbe& probe);

// The first cause found, in the order URL, authentication, authorization,
// server; empty when none. Each cause found is traced as well.
std::string FindSetupProblem();

} // namespace zyr::signin
