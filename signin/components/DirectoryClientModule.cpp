// The directory-client identity and query components over LDAP: the operator
// and the accounts a role may hold are entries of the plant directory that
// the client key's Directory values name (signin/directory/DirectorySettings.h).
#include "common/DirectoryClientComponents.h"
#include "common/DirectoryClientIdentity.h"
#include "common/ErrorTrace.h"
#include "platform/com/ClassFactory.h"
#include "platform/text/CodePage.h"
#include "signin/components/ComponentSupport.h"
#include "signin/directory/LdapDirectory.h"

#include <memory>
#include <string>

namespace {

using zyr::directory::DirectoryAccount;
using zyr::directory::EntryKind;
using zyr::directory::LdapDirectory;

constexpr const char* kIdentityProgId = "Morvel.DirectoryIdentity";
constexpr const char* kQueryProgId = "Morvel.DirectoryQuery";
// ERROR_NO_SUCH_USER: the name is no account of the directory.
constexpr HRESULT kNoSuchAccount = HRESULT_FROM_WIN32(1317);

// The account that runs the console, looked up once per object.
class CDirectoryIdentity : public zyr::com::ComObject<IDirectoryClientIdentity> {
public:
    HRESULT Reserved1() override { return E_NOTIMPL; }
    HRESULT Reserved2() override { return E_NOTIMPL; }
    HRESULT Reserved3() override { return E_NOTIMPL; }
    HRESULT Reserved4() override { return E_NOTIMPL; }

    HRESULT GetUserName(std::u16string* name) override
    {
        if (name == nullptr) {
            return E_POINTER;
        }
        HRESULT hr = LookUp();
        *name = SUCCEEDED(hr) ? zyr::text::Widen(account_.entry.name) : std::u16string();
        return hr;
    }

    HRESULT GetContext(std::u16string* context) override
    {
        if (context == nullptr) {
            return E_POINTER;
        }
        HRESULT hr = LookUp();
        *context = SUCCEEDED(hr) ? zyr::text::Widen(account_.context) : std::u16string();
        return hr;
    }

private:
    HRESULT LookUp()
    {
        if (!looked_) {
            looked_ = true;
            std::string error;
            auto directory = LdapDirectory::Open(error);
            result_ = directory == nullptr                           ? kDirectoryUnreachable
                      : directory->FindLogonAccount(account_, error) ? S_OK
                                                                     : kNoSuchAccount;
            if (FAILED(result_)) {
                DebugPrint("Directory identity: %s", error.c_str());
            }
        }
        return result_;
    }

    bool looked_ = false;
    HRESULT result_ = E_FAIL;
    DirectoryAccount account_;
};

class CDirectoryQuery : public zyr::com::ComObject<IDirectoryClientQuery> {
public:
    HRESULT PutName(const std::u16string& name) override
    {
        name_ = name;
        return S_OK;
    }
    HRESULT LookupUser(const std::u16string& name, std::u16string* memberText) override
    {
        return Lookup(EntryKind::User, name, memberText);
    }
    HRESULT LookupGroup(const std::u16string& name, std::u16string* memberText) override
    {
        return Lookup(EntryKind::Group, name, memberText);
    }
    HRESULT GetErrorText(std::u16string* text) override
    {
        if (text == nullptr) {
            return E_POINTER;
        }
        *text = zyr::text::Widen(error_);
        return S_OK;
    }

private:
    HRESULT Lookup(EntryKind kind, const std::u16string& name, std::u16string* memberText)
    {
        if (memberText == nullptr) {
            return E_POINTER;
        }
        memberText->clear();
        error_.clear();
        if (directory_ == nullptr) {
            directory_ = LdapDirectory::Open(error_);
            if (directory_ == nullptr) {
                return kDirectoryUnreachable;
            }
        }
        DirectoryAccount account;
        // A name with a NUL matches nothing; it is looked up as it is, escaped.
        if (!directory_->FindAccount(kind, zyr::text::Narrow(name), account, error_)) {
            return kNoSuchAccount;
        }
        *memberText = zyr::text::Widen(account.memberText);
        return S_OK;
    }

    std::u16string name_;
    std::string error_;
    std::unique_ptr<LdapDirectory> directory_;
};

} // namespace

#define ZYR_EXPORT extern "C" __attribute__((visibility("default")))

ZYR_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object)
{
    using zyr::signin::components::GetSingleClassObject;
    if (clsid == CLSID_DirectoryClientIdentity) {
        return GetSingleClassObject<CDirectoryIdentity>(CLSID_DirectoryClientIdentity, clsid, iid, object);
    }
    return GetSingleClassObject<CDirectoryQuery>(CLSID_DirectoryClientQuery, clsid, iid, object);
}

ZYR_EXPORT HRESULT DllRegisterServer()
{
    using zyr::signin::components::RegisterModuleClass;
    HRESULT hr = RegisterModuleClass(CLSID_DirectoryClientIdentity, kIdentityProgId);
    return FAILED(hr) ? hr : RegisterModuleClass(CLSID_DirectoryClientQuery, kQueryProgId);
}

ZYR_EXPORT HRESULT DllUnregisterServer()
{
    zyr::signin::components::UnregisterModuleClass(CLSID_DirectoryClientIdentity, kIdentityProgId);
    zyr::signin::components::UnregisterModuleClass(CLSID_DirectoryClientQuery, kQueryProgId);
    return S_OK;
}
