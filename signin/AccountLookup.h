// The account whose roles are asked for, with the groups the role rules see:
// from the plant directory for directory-client operators, from the name
// service otherwise.
#pragma once

#include "signin/AccessRules.h"

#include <string>

namespace zyr::signin {

AccountIdentity LookUpRoleAccount(const std::string& domain, const std::string& user,
                                  const std::string& computer);

} // namespace zyr::signin
