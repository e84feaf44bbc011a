// A session with the plant directory over LDAP: the connection (TLS with
// certificate checks, or StartTLS; plain LDAP only on the loopback address),
// the console's own bind, and the look-ups that the directory-client
// components make. Every value from outside goes into filters escaped.
// Errors come back as false with a message for the operator.
#pragma once

#include "signin/directory/DirectorySettings.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zyr::directory {

enum class EntryKind { Container, User, Group, Other };

struct DirectoryEntry {
    std::string dn;
    EntryKind kind = EntryKind::Other;
    // The name shown and stored: uid for a user, cn for a group, the first
    // RDN's value otherwise.
    std::string name;
};

// An account found by name: its entry and its member text
// ("context\name", the context being the DN of its container).
struct DirectoryAccount {
    DirectoryEntry entry;
    std::string context;
    std::string memberText;
};

class LdapDirectory {
public:
    ~LdapDirectory();
    LdapDirectory(const LdapDirectory&) = delete;
    LdapDirectory& operator=(const LdapDirectory&) = delete;

    // Connects and binds as the settings say.
    static std::unique_ptr<LdapDirectory> Open(const DirectorySettings& settings, std::string& error);
    // The same with the settings read from the registry store.
    static std::unique_ptr<LdapDirectory> Open(std::string& error);

    const DirectorySettings& Settings() const { return settings_; }

    // A user (or group) by name: its DN, or its uid or cn anywhere below the
    // base. False when none or more than one entry answers.
    bool FindAccount(EntryKind kind, const std::string& name, DirectoryAccount& account, std::string& error);

    // The user named name (its uid) right in the container context, as the
    // sign-in names an operator.
    bool FindUserIn(const std::string& context, const std::string& name, DirectoryAccount& account,
                    std::string& error);

    // The account that runs the console: the identity of the bind under
    // sasl-gssapi, otherwise the process's account name looked up as a user.
    bool FindLogonAccount(DirectoryAccount& account, std::string& error);

    // The containers, users and groups right below dn, containers first, each
    // kind by name.
    bool Children(const std::string& dn, std::vector<DirectoryEntry>& entries, std::string& error);

    // Users and groups below the base whose name holds text, at most limit.
    bool SearchAccounts(const std::string& text, size_t limit, std::vector<DirectoryEntry>& entries,
                        std::string& error);

    // The groups the user is in, directly or through groups that are members
    // of groups, each as its member text.
    bool GroupsOf(const DirectoryAccount& user, std::vector<std::string>& groups, std::string& error);

    // Whether the password is the account's: a bind as the account on a
    // connection of its own. An empty password is refused, never tried (it
    // would be an unauthenticated bind, which succeeds).
    bool CheckPassword(const std::string& dn, const std::string& password, std::string& error);

private:
    struct Handle;
    LdapDirectory(const DirectorySettings& settings, std::unique_ptr<Handle> handle);

    bool Search(const std::string& base, int scope, const std::string& filter, size_t limit,
                std::vector<DirectoryEntry>& entries, std::string& error);
    std::string AccountFilter(EntryKind kind, const std::string& inner) const;

    DirectorySettings settings_;
    std::unique_ptr<Handle> handle_;
};

} // namespace zyr::directory
