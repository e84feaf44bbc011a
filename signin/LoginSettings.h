// The four fields of the sign-in and the sign-in remembered per operating
// system user under HKEY_CURRENT_USER "Software\Tarnwick\ZYR\Security\Snap-in".
// The password is never stored.
#pragma once

#include "platform/com/WinTypes.h"
#include "platform/text/BoundedText.h"

namespace zyr::signin {

constexpr const char* kLoginSettingsKey = "Software\\Tarnwick\\ZYR\\Security\\Snap-in";
constexpr const char* kUserNameValue = "UserName";
constexpr const char* kDomainValue = "Domain";
constexpr const char* kLoginUserValue = "LoginUser";

struct LoginFields {
    zyr::text::BoundedText<256> userName;
    zyr::text::BoundedText<256> password;
    zyr::text::BoundedText<256> domain;
    int useLogonUser = 0; // 0 or 1
};

// Sets the user name and the domain to the account that GetLogonUser reports.
void FillFromLogonUser(LoginFields& fields);

// Fills the fields from the remembered sign-in; a directory client, or a key
// that cannot be opened, takes the logon user (use logon user on) and answers
// E_FAIL. With "LoginUser" 1 the remembered names give way to the logon user.
HRESULT LoadLoginSettings(LoginFields& fields);

// Writes "LoginUser", "UserName" and "Domain"; failures are ignored.
HRESULT SaveLoginSettings(const LoginFields& fields);

// How the sign-in dialog shows its fields.
struct LoginFieldsView {
    bool editsEnabled = true;             // user name, password and domain
    const char* domainLabel = "&Domain:"; // "&Context:" for directory-client operators
};

// The dialog's opening: the remembered sign-in, then a directory client
// always uses the logon user; the edits are disabled while it is used.
LoginFieldsView InitializeLoginFields(LoginFields& fields);

// The "Use Operating &System Logon User" check box was clicked (fields hold
// the controls' state): on empties the password and takes the logon user; a
// directory client cannot turn it off.
LoginFieldsView OnLogonUserClicked(LoginFields& fields);

} // namespace zyr::signin
