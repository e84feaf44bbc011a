#include "platform/identity/AccountDirectory.h"

#include "platform/identity/Identity.h"
#include "platform/text/Ascii.h"
#include "platform/text/CodePage.h"

#include <grp.h>
#include <pwd.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace zyr::identity {
namespace {

// Sorted by display name without regard to case; an account named twice (a
// name service listed by two sources) stays once.
void SortUnique(std::vector<DirectoryAccount>& accounts)
{
    std::stable_sort(
        accounts.begin(), accounts.end(), [](const DirectoryAccount& a, const DirectoryAccount& b) {
            return zyr::text::AsciiLower(a.DisplayName()) < zyr::text::AsciiLower(b.DisplayName());
        });
    auto last = std::unique(accounts.begin(), accounts.end(),
                            [](const DirectoryAccount& a, const DirectoryAccount& b) {
                                return zyr::text::EqualsNoCase(a.DisplayName(), b.DisplayName());
                            });
    accounts.erase(last, accounts.end());
}

DirectoryAccount Account(AccountKind kind, const char* entry, const std::string& localDomain)
{
    DirectoryAccount account;
    account.kind = kind;
    SplitAccount(entry, localDomain, account.domain, account.name);
    return account;
}

// The full name in a user's comment field: up to its first comma, without
// surrounding spaces; none when it holds a control character.
std::string FullNameOf(const char* gecos)
{
    std::string_view text = gecos != nullptr ? std::string_view(gecos) : std::string_view();
    text = text.substr(0, text.find(','));
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; })) {
        return {};
    }
    return std::string(zyr::text::TrimSpaces(text));
}

// Every named entry of one system database (groups or users), walked with its
// open, next and close calls, as accounts of kind: sorted, without repeats;
// with a comment field, each with its full name.
template <typename Entry>
std::vector<DirectoryAccount> ListEntries(AccountKind kind, void (*open)(), Entry* (*next)(), void (*close)(),
                                          char* Entry::*name, char* Entry::*comment,
                                          const std::string& localDomain)
{
    std::vector<DirectoryAccount> accounts;
    open();
    while (const Entry* entry = next()) {
        if (entry->*name != nullptr && (entry->*name)[0] != '\0') {
            accounts.push_back(Account(kind, entry->*name, localDomain));
            if (comment != nullptr) {
                accounts.back().fullName = FullNameOf(entry->*comment);
            }
        }
    }
    close();
    SortUnique(accounts);
    return accounts;
}

} // namespace

std::string DirectoryAccount::DisplayName() const
{
    if (kind == AccountKind::Everyone) {
        return "Everyone";
    }
    return domain + "\\" + name;
}

std::vector<DirectoryAccount> ListDirectoryAccounts(const std::string& localDomain)
{
    std::vector<DirectoryAccount> groups =
        ListEntries(AccountKind::Group, setgrent, getgrent, endgrent, &group::gr_name,
                    static_cast<char * group::*>(nullptr), localDomain);
    std::vector<DirectoryAccount> users = ListEntries(AccountKind::User, setpwent, getpwent, endpwent,
                                                      &passwd::pw_name, &passwd::pw_gecos, localDomain);

    std::vector<DirectoryAccount> accounts;
    accounts.reserve(1 + groups.size() + users.size());
    accounts.push_back({AccountKind::Everyone, {}, "Everyone", {}});
    accounts.insert(accounts.end(), groups.begin(), groups.end());
    accounts.insert(accounts.end(), users.begin(), users.end());
    return accounts;
}

bool MatchesSearch(const DirectoryAccount& account, std::string_view text)
{
    const std::string lower = zyr::text::AsciiLower(text);
    return text.empty() || zyr::text::AsciiLower(account.DisplayName()).find(lower) != std::string::npos ||
           zyr::text::AsciiLower(account.fullName).find(lower) != std::string::npos;
}

} // namespace zyr::identity
