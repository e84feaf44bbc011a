// The framework's authorization component on Linux: decisions from the two
// cache files, "rolecache.xml" (role membership) and "ApplCache.xml" (the
// applications with their groups, objects and access-control lists). On
// creation it refreshes both files from the security server ("Appl" "GetAll"
// and "Role" "Get", written with the cache cipher as the console writes the
// role cache), so that a first sign-in, or a membership changed since the
// console last ran, is judged by the database as it is; when the server does
// not answer, the files are used as they are; without either, no object
// reference can be given.
//
// Object references are "KVT" followed by the object's identity.
#include "cache/CacheFiles.h"
#include "cache/FreshCache.h"
#include "common/ServerSettings.h"
#include "platform/text/CodePage.h"
#include "signin/AccessRules.h"
#include "signin/AccountLookup.h"
#include "signin/components/AuthInterfaces.h"
#include "signin/components/ComponentSupport.h"
#include "web/WebPage.h"

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* kProgId = "Morvel.Authorize";
constexpr std::string_view kReferencePrefix = "KVT";

std::string Narrow(const char16_t* text)
{
    return text != nullptr ? zyr::text::Narrow(text) : std::string();
}

std::string CacheDirectory()
{
    char buffer[zyr::cache::kCacheDirectorySize] = {};
    DWORD size = sizeof(buffer);
    if (FAILED(GetCachePath(buffer, &size))) {
        return {};
    }
    return buffer;
}

class CKvtAuthorize : public zyr::com::ComObject<IKvtAuthorize> {
public:
    CKvtAuthorize()
    {
        std::string appl =
            RefreshCacheFile("?Object=Appl&Operation=GetAll", "<KVTAPPLS>", zyr::cache::kApplCacheFileName);
        std::string roles =
            RefreshCacheFile("?Object=Role&Operation=Get", "<KVTROLES>", zyr::cache::kRoleCacheFileName);
        if (appl.empty() || roles.empty()) {
            Prepare(); // from the files as they are
        } else {
            // The texts just written, without reading them back. The
            // application list is handed on when this component is released
            // (see the destructor): one copy of it, not two.
            applCache_ = std::move(appl);
            offerOnRelease_ = true;
            roles_.clear();
            zyr::signin::ParseRoleCache(roles, roles_);
        }
        // At start-up the console's tree reads these lists next: it takes
        // them from here instead of decrypting the files again.
        const std::string directory = CacheDirectory();
        if (!appl.empty()) {
            zyr::cache::OfferFreshCacheText(
                zyr::cache::CacheFilePath(directory, zyr::cache::kApplCacheFileName), std::move(appl));
        }
        if (!roles.empty()) {
            zyr::cache::OfferFreshCacheText(
                zyr::cache::CacheFilePath(directory, zyr::cache::kRoleCacheFileName), std::move(roles));
        }
    }

    ~CKvtAuthorize() override
    {
        // The sign-in releases this component before the console's tree
        // reads the application list: it takes the text from here.
        if (offerOnRelease_ && !applCache_.empty()) {
            try {
                zyr::cache::OfferFreshCacheText(
                    zyr::cache::CacheFilePath(CacheDirectory(), zyr::cache::kApplCacheFileName),
                    std::move(applCache_));
            } catch (...) {
                // Out of memory: the tree decrypts the file instead.
            }
        }
    }

    HRESULT SetAccount(const char16_t* domain, const char16_t* userName) override
    {
        domain_ = Narrow(domain);
        user_ = Narrow(userName);
        return S_OK;
    }

    HRESULT Prepare() override
    {
        std::string directory = CacheDirectory();
        offerOnRelease_ = false; // the tree reads the file itself
        applCache_.clear();
        roles_.clear();
        std::string roleCache;
        zyr::cache::ReadCacheFile(zyr::cache::CacheFilePath(directory, zyr::cache::kApplCacheFileName),
                                  applCache_);
        if (SUCCEEDED(zyr::cache::ReadCacheFile(
                zyr::cache::CacheFilePath(directory, zyr::cache::kRoleCacheFileName), roleCache))) {
            zyr::signin::ParseRoleCache(roleCache, roles_);
        }
        return S_OK;
    }

    HRESULT HasPermission(const char16_t* objectReference, LONG permission, VARIANT_BOOL* granted) override
    {
        if (granted == nullptr) {
            return E_POINTER;
        }
        *granted = VARIANT_FALSE;
        std::string reference = Narrow(objectReference);
        if (reference.compare(0, kReferencePrefix.size(), kReferencePrefix) == 0) {
            reference.erase(0, kReferencePrefix.size());
        }
        std::string domain = domain_, user = user_;
        if (user.empty()) {
            GetLogonUser(domain, user);
        }
        std::string computer = GetLocalComputerName();
        std::vector<zyr::signin::AccessGrant> acl;
        bool yes = false;
        if (zyr::signin::FindAccessList(applCache_, reference, acl)) {
            zyr::signin::AccountIdentity account = zyr::signin::LookUpRoleAccount(domain, user, computer);
            yes = zyr::signin::PermissionGranted(acl, roles_, account, computer,
                                                 static_cast<uint32_t>(permission));
        }
        *granted = yes ? VARIANT_TRUE : VARIANT_FALSE;
        zyr::signin::components::AddLogEntry(zyr::signin::components::OperatorName(domain, user), "Authorize",
                                             yes);
        return S_OK;
    }

    HRESULT GetUserRoles(const char16_t* domainText, const char16_t* userText, TextArrayVariant* roleNames,
                         TextArrayVariant* roleIds) override
    {
        if (roleNames == nullptr || roleIds == nullptr) {
            return E_POINTER;
        }
        roleNames->Clear();
        roleIds->Clear();
        std::string domain = Narrow(domainText), user = Narrow(userText);
        if (userText == nullptr && domainText == nullptr) {
            if (FAILED(GetLogonUser(domain, user))) {
                return E_FAIL;
            }
        }
        std::string computer = GetLocalComputerName();
        zyr::signin::AccountIdentity account = zyr::signin::LookUpRoleAccount(domain, user, computer);
        roleNames->dimensions = 1;
        roleIds->dimensions = 1;
        for (const zyr::signin::CachedRole& role : roles_) {
            if (zyr::signin::AccountHoldsRole(role, account, computer)) {
                roleNames->elements.push_back(zyr::text::Widen(role.name));
                roleIds->elements.push_back(zyr::text::Widen(role.dn));
            }
        }
        return S_OK;
    }

    HRESULT GetObjectReference(const char16_t* application, const char16_t* group, const char16_t* object,
                               std::u16string* reference) override
    {
        if (reference == nullptr) {
            return E_POINTER;
        }
        // Without an application list (no server answered, no cache file)
        // nothing can be said: that is no database without the object.
        if (applCache_.find("<KVTAPPLS>") == std::string::npos) {
            reference->clear();
            return E_FAIL;
        }
        std::string dn =
            zyr::signin::FindObjectDn(applCache_, Narrow(application), Narrow(group), Narrow(object));
        *reference = dn.empty() ? std::u16string() : zyr::text::Widen(std::string(kReferencePrefix) + dn);
        return S_OK;
    }

private:
    // Replaces fileName by the server's list when the server answers with one;
    // the list written, or empty when none was.
    static std::string RefreshCacheFile(const char* query, const char* listTag, const char* fileName)
    {
        char url[1024] = {};
        DWORD size = sizeof(url);
        if (FAILED(GetSecurityServerUrl(url, &size)) || url[0] == '\0') {
            return {};
        }
        std::string reply;
        if (!GetWebPage(std::string(url) + query, reply, false) || reply.find(listTag) == std::string::npos) {
            return {};
        }
        if (FAILED(KvtEncryptBufferAndPersistInFile(reply,
                                                    zyr::cache::CacheFilePath(CacheDirectory(), fileName)))) {
            return {};
        }
        return reply;
    }

    std::string domain_;
    std::string user_;
    std::string applCache_;
    bool offerOnRelease_ = false;
    std::vector<zyr::signin::CachedRole> roles_;
};

} // namespace

ZYR_SINGLE_CLASS_MODULE(CKvtAuthorize, CLSID_KvtAuthorize, kProgId)
