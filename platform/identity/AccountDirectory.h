// The accounts the name service knows, as the account picker of the role
// member page offers them: "Everyone", every group and every user. Directory
// accounts served by SSSD or winbind come with their own domain; local
// accounts carry the computer's name as domain.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyr::identity {

enum class AccountKind { Everyone, Group, User };

struct DirectoryAccount {
    AccountKind kind = AccountKind::User;
    std::string domain; // empty for Everyone
    std::string name;
    // A user's full name as the name service keeps it (the first field of
    // its comment), or empty.
    std::string fullName;

    // "Everyone", or the domain, a backslash and the name.
    std::string DisplayName() const;
};

// "Everyone" first, then the groups (getgrent), then the users (getpwent),
// each kind sorted by display name without regard to case and each account
// once. localDomain is the domain of accounts that name none.
std::vector<DirectoryAccount> ListDirectoryAccounts(const std::string& localDomain);

// Whether the account's display name or full name holds text (without regard
// to case); an empty text matches every account.
bool MatchesSearch(const DirectoryAccount& account, std::string_view text);

} // namespace zyr::identity
