// Where the plant directory is and how the console binds to it: values of
// the client key ("Software\Tarnwick\Zyr") in the registry store.
//   DirectoryURL          ldap:// or ldaps:// URLs, several separated by blanks
//   DirectoryBase         the search base
//   DirectoryUserFilter   optional, the filter that makes an entry a user
//   DirectoryGroupFilter  optional, the filter that makes an entry a group
//   DirectoryBind         "anonymous" (default), "simple" or "sasl-gssapi"
//   DirectoryBindDN       for "simple": the service account's DN
//   DirectoryBindPasswordFile  for "simple": a file of mode 0600 holding its password
//   CAFile                the certificate authorities trusted for TLS
#pragma once

#include <string>

namespace zyr::directory {

enum class BindMethod { Anonymous, Simple, SaslGssapi };

struct DirectorySettings {
    std::string urls;
    std::string base;
    std::string userFilter = "(|(objectClass=inetOrgPerson)(objectClass=posixAccount))";
    std::string groupFilter =
        "(|(objectClass=groupOfNames)(objectClass=groupOfUniqueNames)(objectClass=posixGroup))";
    BindMethod bind = BindMethod::Anonymous;
    std::string bindDn;
    std::string bindPasswordFile;
    std::string caFile;
};

// Reads the settings. False, with a message for the operator, when the URL or
// the base is missing, a filter is not one parenthesised filter, or the bind
// method is unknown.
bool ReadDirectorySettings(DirectorySettings& settings, std::string& error);

} // namespace zyr::directory
