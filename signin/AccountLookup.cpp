#include "signin/AccountLookup.h"

#include "common/ServerSettings.h"
#include "signin/directory/DirectorySignIn.h"

namespace zyr::signin {

AccountIdentity LookUpRoleAccount(const std::string& domain, const std::string& user,
                                  const std::string& computer)
{
    bool directoryClient = false;
    IsNovellClient(&directoryClient);
    return directoryClient ? zyr::directory::LookUpDirectoryAccount(domain, user)
                           : LookUpAccount(domain, user, computer);
}

} // namespace zyr::signin
