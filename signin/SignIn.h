// The sign-in decision: what the sign-in dialog must do when the operator
// presses OK, worked out from the four fields. The dialog collects the fields,
// shows the message this returns and stays open or ends as it says.
#pragma once

#include "common/ConsoleObject.h"
#include "signin/LoginSettings.h"

#include <string>

namespace zyr::signin {

using zyr::kConsoleApplication;
using zyr::kConsoleGroup;
using zyr::kConsoleObject;
using zyr::kOpenPermission;

constexpr const char* kSignInCaption = "ZYR Security Manager";
constexpr const char* kInvalidEntryMessage = "Invalid Entry.  Please enter again.";
constexpr const char* kBadCredentialsMessage = "Invalid User Name or Password";
constexpr const char* kNoServerUrlMessage = "Could not connect to ZYR Security Server.";
constexpr const char* kServerDownFormat =
    "Could not connect to ZYR Security Server \"%s\" via HTTP with the URL : %s";
constexpr const char* kNotSecuredMessage =
    "ZYR Security Manager is not secured. Any user can open the ZYR Security Manager without permission.";
constexpr const char* kRefusedMessage =
    "You don't have the permission to open the ZYR Security Manager or the "
    "ZYR Security Manager initialization failed.";
constexpr const char* kAssignOpenMessage =
    "ZYR Security Manager is not secured, please assign \"Open\" permission to role(s).";
constexpr const char* kInitializationFailedMessage = "ZYR Security Manager initialization failed.";
// The server asked for an account that the logon user cannot prove without a
// password (HTTP 401 to a sign-in without typed credentials).
constexpr const char* kPasswordNeededMessage =
    "This ZYR Security Server needs a password: clear \"Use Operating System Logon User\" and enter your "
    "user name, password and domain.";
// The server turned away further attempts from this computer for a while (HTTP 429).
constexpr const char* kTooManyAttemptsMessage =
    "The ZYR Security Server refuses further sign-in attempts from this computer for a while. Please try "
    "again later.";

// How the dialog goes on after OK.
enum class SignInEnd {
    StayOpen, // the operator may correct the fields and press OK again
    EndOk,    // close the dialog with IDOK: the console opens
};

struct SignInVerdict {
    std::string message; // empty: no message
    unsigned icon = 0;   // zyr::ui::MB_ICON... of the message
    SignInEnd end = SignInEnd::StayOpen;
};

// Steps of OK: field check, credentials, server connection, the operator
// becomes CurrentUserName, the console object's reference and the "Open"
// check, the remembered sign-in. Fields are read, never changed. Typed
// credentials become the account every request presents on TCP; a sign-in
// that does not end OK leaves none.
//
// For a run that only reads (SignInPurpose::Read: zyrsec's commands that
// change nothing) an account without "Open" is let in quietly: the server
// lets every authenticated account read, and refuses it every change.
enum class SignInPurpose { Console, Read };
SignInVerdict DecideSignIn(const LoginFields& fields, SignInPurpose purpose = SignInPurpose::Console);

// The authentication component accepts the fields (three empty texts when the
// logon user is used).
bool ValidateCredentials(const LoginFields& fields);

// A GET of the bare server URL succeeds; serverUrl receives the URL.
bool TestServerConnection(std::string& serverUrl);

// The message for a server that does not answer: the host alone (the text
// after the scheme's "//" up to the first ":" or "/", at most 255
// characters) and the URL.
std::string ConnectionFailureMessage(const std::string& serverUrl);

// True unless the application cache holds the shortened reference (its first
// three characters dropped) followed by an empty "<ACL></ACL>". A reference
// that is not found, or a cache that cannot be read, counts as assigned.
bool IsConsoleAclAssigned(const std::string& reference);

} // namespace zyr::signin
