#include "signin/SignIn.h"

#include "cache/CacheFiles.h"
#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "platform/com/ClassTable.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "signin/AccessRules.h"
#include "signin/SetupCheck.h"
#include "signin/components/AuthInterfaces.h"
#include "web/ServerConnection.h"
#include "web/WebPage.h"

#include <cstdio>

namespace zyr::signin {

namespace {

SignInVerdict Stay(std::string message, unsigned icon)
{
    return {std::move(message), icon, SignInEnd::StayOpen};
}

SignInVerdict EndOk(std::string message = {}, unsigned icon = 0)
{
    return {std::move(message), icon, SignInEnd::EndOk};
}

std::u16string Wide(const zyr::text::BoundedText<256>& text)
{
    return zyr::text::Widen(text.view());
}

} // namespace

bool ValidateCredentials(const LoginFields& fields)
{
    zyr::com::ComPtr<IKvtAuthenticate> authenticate;
    if (FAILED(CoCreateInstance(CLSID_KvtAuthenticate, nullptr, CLSCTX_ALL, IKvtAuthenticate::InterfaceId(),
                                authenticate.PutVoid()))) {
        return false;
    }
    if (fields.useLogonUser != 0) {
        return SUCCEEDED(authenticate->Authenticate(u"", u"", u""));
    }
    return SUCCEEDED(authenticate->Authenticate(Wide(fields.domain).c_str(), Wide(fields.userName).c_str(),
                                                Wide(fields.password).c_str()));
}

bool TestServerConnection(std::string& serverUrl)
{
    char buffer[1024] = {};
    DWORD size = sizeof(buffer);
    serverUrl.clear();
    if (FAILED(GetSecurityServerUrl(buffer, &size))) {
        return false;
    }
    serverUrl = buffer;
    std::string reply;
    return GetWebPage(serverUrl, reply, true);
}

std::string ConnectionFailureMessage(const std::string& serverUrl)
{
    if (serverUrl.empty()) {
        return kNoServerUrlMessage;
    }
    // The host begins after the scheme's "//" ("http://" and "https://" alike).
    size_t start = serverUrl.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = serverUrl.find_first_of(":/", start);
    std::string host = serverUrl.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (host.size() > 255) {
        host.resize(zyr::text::CharacterBoundary(host, 255));
    }
    int length = std::snprintf(nullptr, 0, kServerDownFormat, host.c_str(), serverUrl.c_str());
    std::string message(static_cast<size_t>(length), '\0');
    std::snprintf(message.data(), message.size() + 1, kServerDownFormat, host.c_str(), serverUrl.c_str());
    return message;
}

bool IsConsoleAclAssigned(const std::string& reference)
{
    std::string applCache;
    if (SUCCEEDED(LoadCacheFiles())) {
        applCache = zyr::cache::ApplCacheText();
    }
    std::string shortened = reference.size() > 3 ? reference.substr(3) : std::string();
    size_t at = applCache.find(shortened);
    if (at == std::string::npos) {
        return true;
    }
    size_t open = applCache.find("<ACL>", at);
    if (open == std::string::npos) {
        return true;
    }
    size_t close = applCache.find("</ACL>", open + 5);
    return close != open + 5;
}

namespace {

// The message for a server that answered the connection test with a refusal
// of the account, or the connection failure.
SignInVerdict ConnectionRefusal(const LoginFields& fields, const std::string& serverUrl)
{
    using namespace zyr::ui;
    switch (zyr::web::LastHttpStatus()) {
    case 401:
        // Which part of the credentials was wrong is never told.
        return fields.useLogonUser != 0 ? Stay(kPasswordNeededMessage, MB_ICONWARNING)
                                        : Stay(kBadCredentialsMessage, MB_ICONERROR);
    case 429:
        return Stay(kTooManyAttemptsMessage, MB_ICONERROR);
    default:
        return Stay(ConnectionFailureMessage(serverUrl), MB_ICONERROR);
    }
}

SignInVerdict Decide(const LoginFields& fields, SignInPurpose purpose)
{
    using namespace zyr::ui;
    if (fields.userName.empty() || fields.domain.empty()) {
        return Stay(kInvalidEntryMessage, MB_ICONINFORMATION);
    }
    // The boxes keep their texts; the trace names the cause behind them.
    if (!ValidateCredentials(fields)) {
        FindSetupProblem();
        return Stay(kBadCredentialsMessage, MB_ICONERROR);
    }
    zyr::web::ClearServerCredentials();
    // The server checks the password as this computer's PAM does: the login
    // name, or user@domain for an account of another domain.
    if (fields.useLogonUser == 0 &&
        !zyr::web::SetServerCredentials(
            NameServiceAccount(fields.domain.view(), fields.userName.view(), GetLocalComputerName()),
            fields.password.view())) {
        return Stay(kBadCredentialsMessage, MB_ICONERROR);
    }
    std::string serverUrl;
    if (!TestServerConnection(serverUrl)) {
        FindSetupProblem();
        return ConnectionRefusal(fields, serverUrl);
    }
    zyr::SetCurrentUser(fields.domain.view(), fields.userName.view());

    zyr::com::ComPtr<IKvtAuthorize> authorize;
    std::u16string reference;
    if (FAILED(CoCreateInstance(CLSID_KvtAuthorize, nullptr, CLSCTX_ALL, IKvtAuthorize::InterfaceId(),
                                authorize.PutVoid())) ||
        FAILED(authorize->SetAccount(Wide(fields.domain).c_str(), Wide(fields.userName).c_str()))) {
        FindSetupProblem();
        return Stay(kInitializationFailedMessage, MB_ICONWARNING);
    }
    // "Not secured" is only for a database that was read and does not guard
    // the console; a list that could not be had refuses the sign-in.
    if (FAILED(authorize->GetObjectReference(zyr::text::Widen(kConsoleApplication).c_str(),
                                             zyr::text::Widen(kConsoleGroup).c_str(),
                                             zyr::text::Widen(kConsoleObject).c_str(), &reference))) {
        return Stay(ConnectionFailureMessage(serverUrl), MB_ICONERROR);
    }
    SaveLoginSettings(fields);
    if (reference.empty()) {
        return EndOk(kNotSecuredMessage, MB_ICONWARNING);
    }
    VARIANT_BOOL granted = VARIANT_FALSE;
    if (FAILED(authorize->HasPermission(reference.c_str(), kOpenPermission, &granted))) {
        return Stay(kInitializationFailedMessage, MB_ICONWARNING);
    }
    if (granted != VARIANT_FALSE) {
        return EndOk();
    }
    if (purpose == SignInPurpose::Read) {
        return EndOk();
    }
    if (IsConsoleAclAssigned(zyr::text::Narrow(reference))) {
        return Stay(kRefusedMessage, MB_ICONERROR);
    }
    return EndOk(kAssignOpenMessage, MB_ICONINFORMATION);
}

} // namespace

SignInVerdict DecideSignIn(const LoginFields& fields, SignInPurpose purpose)
{
    SignInVerdict verdict = Decide(fields, purpose);
    if (verdict.end != SignInEnd::EndOk) {
        zyr::web::ClearServerCredentials();
    }
    return verdict;
}

} // namespace zyr::signin
