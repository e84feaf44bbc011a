// What the sign-in components ask of the plant directory when operators are
// directory-client accounts: whether a password is the account's, and the
// account with its groups, for the role rules.
#pragma once

#include "signin/AccessRules.h"

#include <string>

namespace zyr::directory {

// Whether password is the password of user in the container context. An
// empty password, an unknown account or an unreachable directory is a no.
bool DirectoryPasswordAccepted(const std::string& context, const std::string& user,
                               const std::string& password);

// The account with the directory groups it is in (nested groups included);
// without groups when the directory does not know it or cannot be reached.
zyr::signin::AccountIdentity LookUpDirectoryAccount(const std::string& context, const std::string& user);

} // namespace zyr::directory
