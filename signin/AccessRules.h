// The rules by which the authorization component decides: role membership of
// an account (directly, through a name-service group, or through "Everyone")
// and the permissions that the access-control lists of the application cache
// grant the account's roles. Both cache texts are the decrypted files.
#pragma once

#include "cache/AccessRule.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::signin {

using zyr::accessrule::AccessGrant;
using zyr::accessrule::AccountHoldsRole;
using zyr::accessrule::AccountIdentity;
using zyr::accessrule::CachedRole;
using zyr::accessrule::LookUpAccount;
using zyr::accessrule::NameServiceAccount;
using zyr::accessrule::PermissionGranted;

// The roles of the role cache ("KVTROLES"), member lists decrypted. False when
// the text is not such a document.
bool ParseRoleCache(std::string_view xml, std::vector<CachedRole>& roles);

// The identity of the securable object application/group/object in the
// application cache ("KVTAPPLS"), names compared without case; empty when it
// is not there.
std::string FindObjectDn(std::string_view applXml, std::string_view application, std::string_view group,
                         std::string_view object);

// The access-control list of the application, group or object with the
// identity dn. False when there is no such record or its list does not read.
bool FindAccessList(std::string_view applXml, std::string_view dn, std::vector<AccessGrant>& acl);

} // namespace zyr::signin
