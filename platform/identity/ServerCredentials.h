// The account and password this process signed in to the security server
// with. Kept here, in the one platform library a process loads, so that the
// framework's component modules, which carry requests with copies of the
// carrier of their own, present the same account. In memory only, wiped when
// cleared and at exit, never traced or written anywhere.
#pragma once

#include <functional>
#include <string_view>

namespace zyr::identity {

// False (and the account in force wiped) for an empty user or a part over
// 255 bytes.
bool SetServerCredentials(std::string_view user, std::string_view password);
void ClearServerCredentials();
// Calls use with the account while it is held; false (use not called)
// without one.
bool UseServerCredentials(const std::function<void(const char* user, const char* password)>& use);

} // namespace zyr::identity
