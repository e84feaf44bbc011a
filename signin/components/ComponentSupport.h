// What the authentication and authorization modules share: their entries in
// the registry store and the server's authentication and authorization log.
#pragma once

#include "platform/com/Unknown.h"

#include <string>

namespace zyr::signin::components {

// Writes HKCR\CLSID\{clsid}\InprocServer32 = the path of the module that holds
// this code, and the ProgID both ways.
HRESULT RegisterModuleClass(const CLSID& clsid, const char* progId);
void UnregisterModuleClass(const CLSID& clsid, const char* progId);

// Adds an entry to the server's log ("?Object=Log&Operation=Add": User,
// Action, Status "Success" or "Failed", Computer). Failures are ignored: the
// log never decides a sign-in.
void AddLogEntry(const std::string& user, const char* action, bool success);

// "DOMAIN\user" as the log and the requests name an operator.
std::string OperatorName(const std::string& domain, const std::string& user);

} // namespace zyr::signin::components
