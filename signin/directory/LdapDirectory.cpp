#include "signin/directory/LdapDirectory.h"

#include "platform/identity/Identity.h"
#include "signin/directory/DirectoryNames.h"

#include <ldap.h>
#include <sasl/sasl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace zyr::directory {

namespace {

constexpr int kSecondsAllowed = 15;
constexpr size_t kMostGroups = 1000;
constexpr const char* kContainerFilter =
    "(|(objectClass=organizationalUnit)(objectClass=organization)(objectClass=domain)"
    "(objectClass=container)(objectClass=locality)(objectClass=country))";

std::string Reason(int rc)
{
    const char* text = ldap_err2string(rc);
    return text != nullptr ? text : "unknown error";
}

std::string Failure(const DirectorySettings& settings, int rc)
{
    if (rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR || rc == LDAP_TIMEOUT) {
        return "The directory at " + settings.urls + " could not be reached (" + Reason(rc) + ").";
    }
    return "The directory refused the request (" + Reason(rc) + ").";
}

bool IsLoopback(const char* host)
{
    if (host == nullptr || *host == '\0') {
        return false; // the library's default host: not known to be this machine
    }
    std::string h(host);
    return h == "localhost" || h == "::1" || h.rfind("127.", 0) == 0;
}

// Checks every URL; tells whether one of them speaks plain LDAP to another
// machine, which then needs StartTLS.
bool CheckUrls(const std::string& urls, bool& needStartTls, std::string& error)
{
    needStartTls = false;
    std::istringstream words(urls);
    std::string url;
    int count = 0;
    while (words >> url) {
        LDAPURLDesc* desc = nullptr;
        if (ldap_url_parse(url.c_str(), &desc) != LDAP_URL_SUCCESS || desc == nullptr) {
            error = "The directory URL \"" + url + "\" is not an ldap:// or ldaps:// URL.";
            return false;
        }
        std::string scheme = desc->lud_scheme != nullptr ? desc->lud_scheme : "";
        bool loopback = IsLoopback(desc->lud_host);
        ldap_free_urldesc(desc);
        if (scheme != "ldap" && scheme != "ldaps") {
            error = "The directory URL \"" + url + "\" is not an ldap:// or ldaps:// URL.";
            return false;
        }
        if (scheme == "ldap" && !loopback) {
            needStartTls = true;
        }
        ++count;
    }
    if (count == 0) {
        error = "The directory is not configured (DirectoryURL and DirectoryBase).";
        return false;
    }
    return true;
}

// A password kept in a file that only its owner may read.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error)
{
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "The directory bind password file \"" + path + "\" cannot be read.";
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        error =
            "The directory bind password file \"" + path + "\" must be readable by its owner only (0600).";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    return true;
}

int AnswerSasl(LDAP*, unsigned, void*, void* prompts)
{
    // Kerberos needs no answers: each prompt takes its default.
    for (auto* prompt = static_cast<sasl_interact_t*>(prompts);
         prompt != nullptr && prompt->id != SASL_CB_LIST_END; ++prompt) {
        const char* answer = prompt->defresult != nullptr ? prompt->defresult : "";
        prompt->result = answer;
        prompt->len = static_cast<unsigned>(std::strlen(answer));
    }
    return LDAP_SUCCESS;
}

int SimpleBind(LDAP* ld, const char* dn, std::string password)
{
    berval credentials{static_cast<ber_len_t>(password.size()), password.data()};
    int rc = ldap_sasl_bind_s(ld, dn, LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr);
    std::fill(password.begin(), password.end(), '\0');
    return rc;
}

std::string FirstValue(LDAP* ld, LDAPMessage* entry, const char* attribute)
{
    berval** values = ldap_get_values_len(ld, entry, attribute);
    std::string value;
    if (values != nullptr && values[0] != nullptr) {
        value.assign(values[0]->bv_val, values[0]->bv_len);
    }
    ldap_value_free_len(values);
    return value;
}

} // namespace

struct LdapDirectory::Handle {
    LDAP* ld = nullptr;
    ~Handle()
    {
        if (ld != nullptr) {
            ldap_unbind_ext_s(ld, nullptr, nullptr);
        }
    }
};

namespace {

// A connection, secured as the URLs need, not yet bound.
LDAP* Connect(const DirectorySettings& settings, std::string& error)
{
    bool needStartTls = false;
    if (!CheckUrls(settings.urls, needStartTls, error)) {
        return nullptr;
    }
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, settings.urls.c_str()) != LDAP_SUCCESS || ld == nullptr) {
        error = "The directory URL \"" + settings.urls + "\" is not an ldap:// or ldaps:// URL.";
        return nullptr;
    }
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    timeval limit{kSecondsAllowed, 0};
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &limit);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &limit);
    int demand = LDAP_OPT_X_TLS_DEMAND;
    ldap_set_option(ld, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
    if (!settings.caFile.empty()) {
        ldap_set_option(ld, LDAP_OPT_X_TLS_CACERTFILE, settings.caFile.c_str());
    }
    int server = 0;
    ldap_set_option(ld, LDAP_OPT_X_TLS_NEWCTX, &server);
    // Kerberos asks for the service of the host named in the URL, not of
    // whatever name a reverse look-up gives.
    ldap_set_option(ld, LDAP_OPT_X_SASL_NOCANON, LDAP_OPT_ON);
    if (needStartTls) {
        int rc = ldap_start_tls_s(ld, nullptr, nullptr);
        if (rc != LDAP_SUCCESS) {
            error = "The connection to the directory at " + settings.urls + " could not be secured (" +
                    Reason(rc) + ").";
            ldap_unbind_ext_s(ld, nullptr, nullptr);
            return nullptr;
        }
    }
    return ld;
}

} // namespace

LdapDirectory::LdapDirectory(const DirectorySettings& settings, std::unique_ptr<Handle> handle)
    : settings_(settings), handle_(std::move(handle))
{
}

LdapDirectory::~LdapDirectory() = default;

std::unique_ptr<LdapDirectory> LdapDirectory::Open(std::string& error)
{
    DirectorySettings settings;
    if (!ReadDirectorySettings(settings, error)) {
        return nullptr;
    }
    return Open(settings, error);
}

std::unique_ptr<LdapDirectory> LdapDirectory::Open(const DirectorySettings& settings, std::string& error)
{
    auto handle = std::make_unique<Handle>();
    handle->ld = Connect(settings, error);
    if (handle->ld == nullptr) {
        return nullptr;
    }
    int rc = LDAP_SUCCESS;
    switch (settings.bind) {
    case BindMethod::Anonymous:
        rc = SimpleBind(handle->ld, nullptr, {});
        break;
    case BindMethod::Simple: {
        std::string password;
        if (settings.bindDn.empty()) {
            error = "DirectoryBind simple needs DirectoryBindDN.";
            return nullptr;
        }
        if (!ReadPasswordFile(settings.bindPasswordFile, password, error)) {
            return nullptr;
        }
        rc = SimpleBind(handle->ld, settings.bindDn.c_str(), std::move(password));
        break;
    }
    case BindMethod::SaslGssapi:
        rc = ldap_sasl_interactive_bind_s(handle->ld, nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET,
                                          &AnswerSasl, nullptr);
        break;
    }
    if (rc != LDAP_SUCCESS) {
        error = Failure(settings, rc);
        return nullptr;
    }
    return std::unique_ptr<LdapDirectory>(new LdapDirectory(settings, std::move(handle)));
}

bool LdapDirectory::Search(const std::string& base, int scope, const std::string& filter, size_t limit,
                           std::vector<DirectoryEntry>& entries, std::string& error)
{
    // The kind is decided by the caller's filter; the names by uid or cn.
    char uid[] = "uid";
    char cn[] = "cn";
    char* attributes[] = {uid, cn, nullptr};
    timeval allowed{kSecondsAllowed, 0};
    LDAPMessage* result = nullptr;
    int rc = ldap_search_ext_s(handle_->ld, base.c_str(), scope, filter.c_str(), attributes, 0, nullptr,
                               nullptr, &allowed, static_cast<int>(limit), &result);
    bool ok = rc == LDAP_SUCCESS || rc == LDAP_SIZELIMIT_EXCEEDED || rc == LDAP_NO_SUCH_OBJECT;
    if (!ok) {
        error = Failure(settings_, rc);
    } else {
        for (LDAPMessage* entry = ldap_first_entry(handle_->ld, result); entry != nullptr;
             entry = ldap_next_entry(handle_->ld, entry)) {
            char* dn = ldap_get_dn(handle_->ld, entry);
            if (dn == nullptr) {
                continue;
            }
            DirectoryEntry found;
            found.dn = dn;
            ldap_memfree(dn);
            found.name = FirstValue(handle_->ld, entry, "uid");
            if (found.name.empty()) {
                found.name = FirstValue(handle_->ld, entry, "cn");
            }
            if (found.name.empty()) {
                found.name = FirstRdnValue(found.dn);
            }
            entries.push_back(std::move(found));
        }
    }
    ldap_msgfree(result);
    return ok;
}

std::string LdapDirectory::AccountFilter(EntryKind kind, const std::string& inner) const
{
    const std::string& kindFilter = kind == EntryKind::User ? settings_.userFilter : settings_.groupFilter;
    return "(&" + kindFilter + inner + ")";
}

bool LdapDirectory::FindAccount(EntryKind kind, const std::string& name, DirectoryAccount& account,
                                std::string& error)
{
    account = DirectoryAccount{};
    if (name.empty()) {
        error = "User or Group must be specified.";
        return false;
    }
    std::vector<DirectoryEntry> found;
    bool ok;
    if (IsDn(name)) {
        ok = Search(name, LDAP_SCOPE_BASE, AccountFilter(kind, ""), 2, found, error);
    } else {
        std::string value = EscapeFilterValue(name);
        std::string inner =
            kind == EntryKind::User ? "(|(uid=" + value + ")(cn=" + value + "))" : "(cn=" + value + ")";
        ok = Search(settings_.base, LDAP_SCOPE_SUBTREE, AccountFilter(kind, inner), 2, found, error);
    }
    if (!ok) {
        return false;
    }
    if (found.size() != 1) {
        error = found.empty()
                    ? "User or Group must be specified."
                    : "More than one directory entry is named \"" + name + "\"; pick one in the browser.";
        return false;
    }
    account.entry = found.front();
    account.entry.kind = kind;
    if (kind == EntryKind::Group) {
        account.entry.name = FirstRdnValue(account.entry.dn); // as GroupsOf names it
    }
    account.context = ContainerOf(account.entry.dn);
    account.memberText = MemberText(account.context, account.entry.name);
    return true;
}

bool LdapDirectory::FindUserIn(const std::string& context, const std::string& name, DirectoryAccount& account,
                               std::string& error)
{
    account = DirectoryAccount{};
    std::vector<DirectoryEntry> found;
    if (name.empty() || !IsDn(context)) {
        error = "Invalid User Name or Password";
        return false;
    }
    if (!Search(context, LDAP_SCOPE_ONELEVEL,
                AccountFilter(EntryKind::User, "(uid=" + EscapeFilterValue(name) + ")"), 2, found, error)) {
        return false;
    }
    if (found.size() != 1) {
        error = "Invalid User Name or Password";
        return false;
    }
    account.entry = found.front();
    account.entry.kind = EntryKind::User;
    account.context = ContainerOf(account.entry.dn);
    account.memberText = MemberText(account.context, account.entry.name);
    return true;
}

bool LdapDirectory::FindLogonAccount(DirectoryAccount& account, std::string& error)
{
    if (settings_.bind == BindMethod::SaslGssapi) {
        berval* who = nullptr;
        int rc = ldap_whoami_s(handle_->ld, &who, nullptr, nullptr);
        std::string identity = who != nullptr ? std::string(who->bv_val, who->bv_len) : std::string();
        ber_bvfree(who);
        if (rc != LDAP_SUCCESS) {
            error = Failure(settings_, rc);
            return false;
        }
        if (identity.rfind("dn:", 0) == 0) {
            return FindAccount(EntryKind::User, identity.substr(3), account, error);
        }
        if (identity.rfind("u:", 0) == 0) {
            return FindAccount(EntryKind::User, identity.substr(2), account, error);
        }
        error = "The directory does not say who is signed in.";
        return false;
    }
    char name[256] = {};
    DWORD size = sizeof(name);
    if (zyr::identity::GetUserNameA(name, &size) != ERROR_SUCCESS || name[0] == '\0') {
        error = "The account that runs the console is not known.";
        return false;
    }
    return FindAccount(EntryKind::User, name, account, error);
}

bool LdapDirectory::Children(const std::string& dn, std::vector<DirectoryEntry>& entries, std::string& error)
{
    entries.clear();
    const std::pair<EntryKind, std::string> kinds[] = {{EntryKind::Container, kContainerFilter},
                                                       {EntryKind::User, settings_.userFilter},
                                                       {EntryKind::Group, settings_.groupFilter}};
    for (const auto& [kind, filter] : kinds) {
        std::vector<DirectoryEntry> found;
        if (!Search(dn, LDAP_SCOPE_ONELEVEL, filter, 0, found, error)) {
            return false;
        }
        std::sort(found.begin(), found.end(),
                  [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
        for (auto& entry : found) {
            entry.kind = kind;
            if (kind != EntryKind::User) {
                entry.name = FirstRdnValue(entry.dn);
            }
            entries.push_back(std::move(entry));
        }
    }
    return true;
}

bool LdapDirectory::SearchAccounts(const std::string& text, size_t limit,
                                   std::vector<DirectoryEntry>& entries, std::string& error)
{
    entries.clear();
    std::string value = EscapeFilterValue(text);
    for (EntryKind kind : {EntryKind::User, EntryKind::Group}) {
        std::string inner =
            kind == EntryKind::User ? "(|(uid=*" + value + "*)(cn=*" + value + "*))" : "(cn=*" + value + "*)";
        std::vector<DirectoryEntry> found;
        if (!Search(settings_.base, LDAP_SCOPE_SUBTREE, AccountFilter(kind, inner), limit, found, error)) {
            return false;
        }
        for (auto& entry : found) {
            entry.kind = kind;
            entries.push_back(std::move(entry));
        }
    }
    if (entries.size() > limit) {
        entries.resize(limit);
    }
    return true;
}

bool LdapDirectory::GroupsOf(const DirectoryAccount& user, std::vector<std::string>& groups,
                             std::string& error)
{
    groups.clear();
    std::string dn = EscapeFilterValue(user.entry.dn);
    std::string uid = EscapeFilterValue(user.entry.name);
    std::vector<DirectoryEntry> pending;
    if (!Search(settings_.base, LDAP_SCOPE_SUBTREE,
                AccountFilter(EntryKind::Group,
                              "(|(member=" + dn + ")(uniqueMember=" + dn + ")(memberUid=" + uid + "))"),
                kMostGroups, pending, error)) {
        return false;
    }
    std::set<std::string> seen;
    while (!pending.empty() && seen.size() < kMostGroups) {
        DirectoryEntry group = std::move(pending.back());
        pending.pop_back();
        if (!seen.insert(group.dn).second) {
            continue; // groups that hold each other end here
        }
        std::string name = FirstRdnValue(group.dn);
        groups.push_back(MemberText(ContainerOf(group.dn), name));
        std::string value = EscapeFilterValue(group.dn);
        if (!Search(settings_.base, LDAP_SCOPE_SUBTREE,
                    AccountFilter(EntryKind::Group, "(|(member=" + value + ")(uniqueMember=" + value + "))"),
                    kMostGroups, pending, error)) {
            return false;
        }
    }
    return true;
}

bool LdapDirectory::CheckPassword(const std::string& dn, const std::string& password, std::string& error)
{
    if (password.empty() || dn.empty()) {
        error = "Invalid User Name or Password";
        return false;
    }
    LDAP* ld = Connect(settings_, error);
    if (ld == nullptr) {
        return false;
    }
    int rc = SimpleBind(ld, dn.c_str(), password);
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        error = rc == LDAP_INVALID_CREDENTIALS ? "Invalid User Name or Password" : Failure(settings_, rc);
        return false;
    }
    return true;
}

} // namespace zyr::directory
