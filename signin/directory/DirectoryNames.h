// Names in a plant directory: values made safe for search filters, and the
// parts of a distinguished name that the console shows and stores.
#pragma once

#include <string>
#include <string_view>

namespace zyr::directory {

// A value for an LDAP search filter: "*", "(", ")", "\" and NUL written as
// "\2a", "\28", "\29", "\5c" and "\00", so that a name only ever matches
// itself.
std::string EscapeFilterValue(std::string_view value);

// The container of an entry: its DN without the first RDN ("" for a
// top-level entry, or when dn is not a DN).
std::string ContainerOf(std::string_view dn);

// The value of the first RDN ("Smith, J" for "cn=Smith\, J,ou=Ops,dc=x"); ""
// when dn is not a DN.
std::string FirstRdnValue(std::string_view dn);

// Whether text reads as a DN of at least one RDN.
bool IsDn(std::string_view text);

// The member text of an account: its context, a backslash and its name, as
// the sign-in names an operator.
std::string MemberText(std::string_view context, std::string_view name);

} // namespace zyr::directory
