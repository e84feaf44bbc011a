// The framework's authentication component on Linux: credentials are checked
// by PAM under the service "zyr-security". Three empty texts accept the
// account that runs the caller. A domain equal to the computer's name (or no
// domain) means a local account; any other domain is passed on as
// user@domain, as directory clients such as SSSD expect. When operators are
// directory-client accounts, the domain is the account's container in the
// plant directory and the password is checked by a bind as the account.
//
// ZYR_PAM_CONFDIR, when set, names the folder of PAM service files to use
// instead of /etc/pam.d (tests run against pam_matrix that way).
#include "common/ServerSettings.h"
#include "platform/text/CodePage.h"
#include "signin/AccessRules.h"
#include "signin/components/AuthInterfaces.h"
#include "signin/components/ComponentSupport.h"
#include "signin/directory/DirectorySignIn.h"

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kPamService = "zyr-security";
constexpr const char* kProgId = "Morvel.Authenticate";

struct Conversation {
    std::string user;
    std::string password;
};

int Converse(int count, const pam_message** messages, pam_response** responses, void* data)
{
    auto* conversation = static_cast<Conversation*>(data);
    if (count <= 0 || responses == nullptr) {
        return PAM_CONV_ERR;
    }
    auto* replies = static_cast<pam_response*>(std::calloc(static_cast<size_t>(count), sizeof(pam_response)));
    if (replies == nullptr) {
        return PAM_BUF_ERR;
    }
    for (int i = 0; i < count; ++i) {
        const char* answer = nullptr;
        switch (messages[i]->msg_style) {
        case PAM_PROMPT_ECHO_OFF:
            answer = conversation->password.c_str();
            break;
        case PAM_PROMPT_ECHO_ON:
            answer = conversation->user.c_str();
            break;
        default:
            break; // information and error texts need no answer
        }
        if (answer != nullptr) {
            replies[i].resp = strdup(answer);
            if (replies[i].resp == nullptr) {
                for (int j = 0; j < i; ++j) {
                    std::free(replies[j].resp);
                }
                std::free(replies);
                return PAM_BUF_ERR;
            }
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

bool PamAccepts(const std::string& user, const std::string& password)
{
    Conversation conversation{user, password};
    pam_conv conv{&Converse, &conversation};
    pam_handle_t* handle = nullptr;
    const char* confdir = std::getenv("ZYR_PAM_CONFDIR");
    int rc = confdir != nullptr && *confdir != '\0'
                 ? pam_start_confdir(kPamService, user.c_str(), &conv, confdir, &handle)
                 : pam_start(kPamService, user.c_str(), &conv, &handle);
    if (rc != PAM_SUCCESS) {
        return false;
    }
    rc = pam_authenticate(handle, PAM_DISALLOW_NULL_AUTHTOK);
    if (rc == PAM_SUCCESS) {
        rc = pam_acct_mgmt(handle, PAM_DISALLOW_NULL_AUTHTOK);
    }
    pam_end(handle, rc);
    // The password copy goes before the memory is given back.
    std::fill(conversation.password.begin(), conversation.password.end(), '\0');
    return rc == PAM_SUCCESS;
}

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
            accepted = PamAccepts(zyr::signin::NameServiceAccount(domain, user, computer), password);
        }
        std::fill(password.begin(), password.end(), '\0');
        zyr::signin::components::AddLogEntry(zyr::signin::components::OperatorName(domain, user), "Logon",
                                             accepted);
        return accepted ? S_OK : HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    }
};

} // namespace

#define ZYR_EXPORT extern "C" __attribute__((visibility("default")))

ZYR_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object)
{
    return zyr::signin::components::GetSingleClassObject<CKvtAuthenticate>(CLSID_KvtAuthenticate, clsid, iid,
                                                                           object);
}

ZYR_EXPORT HRESULT DllRegisterServer()
{
    return zyr::signin::components::RegisterModuleClass(CLSID_KvtAuthenticate, kProgId);
}

ZYR_EXPORT HRESULT DllUnregisterServer()
{
    zyr::signin::components::UnregisterModuleClass(CLSID_KvtAuthenticate, kProgId);
    return S_OK;
}
