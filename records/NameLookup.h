// Names of roles, applications, groups and objects found from their
// identities, for the audit trail of object requests.
#pragma once

#include <string>
#include <string_view>

// The name of the role, application, secure group or securable object whose
// DN is dn (exact comparison): the current role list first, then the current
// application list; without an application list, the cache texts (read again
// once when the identity is not in them). Empty when not found.
std::string LookupNameByDN(std::string_view dn);
