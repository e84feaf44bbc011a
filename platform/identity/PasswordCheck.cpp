#include "platform/identity/PasswordCheck.h"

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>

namespace zyr::identity {

namespace {

struct Conversation {
    const std::string& user;
    const std::string& password;
};

// Answers the password prompt with the password and a prompt that echoes with
// the account's name; information and error texts need no answer.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data)
{
    const auto* conversation = static_cast<const Conversation*>(data);
    if (count <= 0 || responses == nullptr) {
        return PAM_CONV_ERR;
    }
    auto* replies = static_cast<pam_response*>(std::calloc(static_cast<size_t>(count), sizeof(pam_response)));
    if (replies == nullptr) {
        return PAM_BUF_ERR;
    }
    for (int i = 0; i < count; ++i) {
        const std::string* answer = messages[i]->msg_style == PAM_PROMPT_ECHO_OFF  ? &conversation->password
                                    : messages[i]->msg_style == PAM_PROMPT_ECHO_ON ? &conversation->user
                                                                                   : nullptr;
        if (answer == nullptr) {
            continue;
        }
        replies[i].resp = strdup(answer->c_str());
        if (replies[i].resp == nullptr) {
            for (int j = 0; j < i; ++j) {
                std::free(replies[j].resp);
            }
            std::free(replies);
            return PAM_BUF_ERR;
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

void NoDelay(int, unsigned, void*) {}

} // namespace

bool PamAccepts(const char* service, const std::string& user, const std::string& password, PamMode mode)
{
    Conversation conversation{user, password};
    pam_conv conv{&Converse, &conversation};
    pam_handle_t* handle = nullptr;
    const char* confdir = std::getenv("ZYR_PAM_CONFDIR");
    int rc = confdir != nullptr && *confdir != '\0'
                 ? pam_start_confdir(service, user.c_str(), &conv, confdir, &handle)
                 : pam_start(service, user.c_str(), &conv, &handle);
    if (rc != PAM_SUCCESS) {
        return false;
    }
    int flags = PAM_DISALLOW_NULL_AUTHTOK;
    if (mode == PamMode::Server) {
        flags |= PAM_SILENT;
        pam_set_item(handle, PAM_FAIL_DELAY, reinterpret_cast<const void*>(&NoDelay));
    }
    rc = pam_authenticate(handle, flags);
    if (rc == PAM_SUCCESS) {
        rc = pam_acct_mgmt(handle, flags);
    }
    pam_end(handle, rc);
    return rc == PAM_SUCCESS;
}

} // namespace zyr::identity
