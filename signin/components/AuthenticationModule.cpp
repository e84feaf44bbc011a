// The framework's authentication component on Linux: credentials are checked
// by PAM under the service "zyr-security". Three empty texts accept the
// account that runs the caller. A domain equal to the computer's name (or no
// domain) means a local account; any other domain is passed on as
// user@domain, as directory clients such as SSSD expect. When operators are
// directory-client accounts, the domain is the account's container in the
// plant directory and the password is checked by a bind as the account.
#include "common/ServerSettings.h"
#include "platform/identity/PasswordCheck.h"
#include "platform/text/CodePage.h"
#include "signin/AccessRules.h"
#include "signin/components/AuthInterfaces.h"
#include "signin/components/ComponentSupport.h"
#include "signin/directory/DirectorySignIn.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kPamService = "zyr-security";
constexpr const char* kProgId = "Morvel.Authenticate";

std::string Narrow(const char16_t* text)
{
    return text != nullptr ? zyr::text::Narrow(text) : std::string();
}

bool DirectoryClient()
{
    bool directoryClient = false;
    IsNovellClient(&directoryClient);
    return directoryClient;
}

class CKvtAuthenticate : public zyr::com::ComObject<IKvtAuthenticate> {
public:
    HRESULT Authenticate(const char16_t* domainText, const char16_t* userText,
                         const char16_t* passwordText) override
    {
        std::string domain = Narrow(domainText);
        std::string user = Narrow(userText);
        std::string password = Narrow(passwordText);
        bool accepted = false;
        if (domain.empty() && user.empty() && password.empty()) {
            // The account that runs the console is already signed in to the system.
            accepted = SUCCEEDED(GetLogonUser(domain, user)) && !user.empty();
        } else if (!user.empty() && DirectoryClient()) {
            accepted = zyr::directory::DirectoryPasswordAccepted(domain, user, password);
        } else if (!user.empty()) {
            std::string computer = GetLocalComputerName();
            accepted = zyr::identity::PamAccepts(kPamService,
                                                 zyr::signin::NameServiceAccount(domain, user, computer),
                                                 password, zyr::identity::PamMode::Interactive);
        }
        std::fill(password.begin(), password.end(), '\0');
        zyr::signin::components::AddLogEntry(zyr::signin::components::OperatorName(domain, user), "Logon",
                                             accepted);
        return accepted ? S_OK : HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    }
};

} // namespace

ZYR_SINGLE_CLASS_MODULE(CKvtAuthenticate, CLSID_KvtAuthenticate, kProgId)
