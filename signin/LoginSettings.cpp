#include "signin/LoginSettings.h"

#include "common/ServerSettings.h"
#include "platform/registry/RegKey.h"

#include <string>

namespace zyr::signin {

void FillFromLogonUser(LoginFields& fields)
{
    std::string domain, user;
    GetLogonUser(domain, user);
    fields.userName = user;
    fields.domain = domain;
}

namespace {

bool ReadText(HKEY key, const char* name, zyr::text::BoundedText<256>& field)
{
    char buffer[256] = {};
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    buffer[sizeof(buffer) - 1] = '\0';
    field = buffer;
    return true;
}

void WriteText(HKEY key, const char* name, const char* text)
{
    std::string value(text);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

} // namespace

HRESULT LoadLoginSettings(LoginFields& fields)
{
    bool directoryClient = false;
    IsNovellClient(&directoryClient);
    zyr::registry::RegKey key;
    if (directoryClient || key.Open(HKEY_CURRENT_USER, kLoginSettingsKey, KEY_READ) != ERROR_SUCCESS) {
        FillFromLogonUser(fields);
        fields.useLogonUser = 1;
        return E_FAIL;
    }
    HRESULT status = E_FAIL;
    if (ReadText(key, kUserNameValue, fields.userName) && ReadText(key, kDomainValue, fields.domain)) {
        status = S_OK;
    }
    DWORD loginUser = 0;
    DWORD size = sizeof(loginUser);
    DWORD type = 0;
    if (RegQueryValueExA(key, kLoginUserValue, nullptr, &type, reinterpret_cast<BYTE*>(&loginUser), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD) {
        status = S_OK;
        if (loginUser == 1) {
            fields.useLogonUser = 1;
        }
    }
    key.Close();
    if (fields.useLogonUser != 0) {
        FillFromLogonUser(fields);
    }
    return status;
}

HRESULT SaveLoginSettings(const LoginFields& fields)
{
    zyr::registry::RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kLoginSettingsKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS &&
        key.Create(HKEY_CURRENT_USER, kLoginSettingsKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS) {
        return S_OK;
    }
    DWORD loginUser = fields.useLogonUser != 0 ? 1 : 0;
    RegSetValueExA(key, kLoginUserValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&loginUser),
                   sizeof(loginUser));
    WriteText(key, kUserNameValue, fields.userName.c_str());
    WriteText(key, kDomainValue, fields.domain.c_str());
    return S_OK;
}

namespace {

bool DirectoryClient()
{
    bool directoryClient = false;
    IsNovellClient(&directoryClient);
    return directoryClient;
}

} // namespace

LoginFieldsView InitializeLoginFields(LoginFields& fields)
{
    LoadLoginSettings(fields);
    LoginFieldsView view;
    if (DirectoryClient()) {
        fields.useLogonUser = 1;
        view.domainLabel = "&Context:";
    }
    view.editsEnabled = fields.useLogonUser == 0;
    return view;
}

LoginFieldsView OnLogonUserClicked(LoginFields& fields)
{
    LoginFieldsView view;
    if (DirectoryClient()) {
        fields.useLogonUser = 1;
        view.domainLabel = "&Context:";
    }
    if (fields.useLogonUser != 0) {
        fields.password.Clear();
        FillFromLogonUser(fields);
    }
    view.editsEnabled = fields.useLogonUser == 0;
    return view;
}

} // namespace zyr::signin
