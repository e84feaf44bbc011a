#include "signin/directory/DirectorySignIn.h"

#include "signin/directory/LdapDirectory.h"

namespace zyr::directory {

bool DirectoryPasswordAccepted(const std::string& context, const std::string& user,
                               const std::string& password)
{
    std::string error;
    auto directory = LdapDirectory::Open(error);
    DirectoryAccount account;
    return directory != nullptr && directory->FindUserIn(context, user, account, error) &&
           directory->CheckPassword(account.entry.dn, password, error);
}

zyr::signin::AccountIdentity LookUpDirectoryAccount(const std::string& context, const std::string& user)
{
    zyr::signin::AccountIdentity identity{context, user, {}};
    std::string error;
    auto directory = LdapDirectory::Open(error);
    DirectoryAccount account;
    if (directory != nullptr && directory->FindUserIn(context, user, account, error)) {
        directory->GroupsOf(account, identity.groups, error);
    }
    return identity;
}

} // namespace zyr::directory
