// A role of the security database and its two member lists.
#pragma once

#include "roles/RecordSupport.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One account that is a member of a role as a user.
class CKVTRoleMemberUser {
public:
    explicit CKVTRoleMemberUser(std::string_view name);
    virtual ~CKVTRoleMemberUser() = default;

    zyr::records::Field<256> Name;
};

// One account that is a member of a role as a group.
class CKVTRoleMemberGroup {
public:
    explicit CKVTRoleMemberGroup(std::string_view name);
    virtual ~CKVTRoleMemberGroup() = default;

    zyr::records::Field<256> Name;
};

class CKVTRole {
public:
    // A fetched role: every text empty.
    CKVTRole();
    // A role made in the console: its name serves as DN until Add.
    CKVTRole(std::string_view name, std::string_view description);
    virtual ~CKVTRole();
    CKVTRole(const CKVTRole&) = delete;
    CKVTRole& operator=(const CKVTRole&) = delete;

    zyr::records::Field<256> DN;
    zyr::records::Field<256> CN;
    zyr::records::Field<256> Description;
    // "OldValue=...&NewValue=..." of the page that last changed the role;
    // sent with the next Update.
    std::string AuditText;

    // Appends a member unless one of the same name (without regard to case)
    // is there already. Always true.
    bool AddMemberUser(std::string_view name);
    bool AddMemberGroup(std::string_view name);
    // Appends a member as the server sent it, a duplicate included.
    void AppendServerMemberUser(std::string_view name);
    void AppendServerMemberGroup(std::string_view name);
    // Empties a member list, destroying its records.
    void ClearMemberUsers();
    void ClearMemberGroups();

    const std::vector<std::unique_ptr<CKVTRoleMemberUser>>& MemberUsers() const { return users_; }
    const std::vector<std::unique_ptr<CKVTRoleMemberGroup>>& MemberGroups() const { return groups_; }

    // The plain member lists: every name followed by ";".
    std::string MemberUserList() const;
    std::string MemberGroupList() const;

    // The server operations; true on success. A refusal of the server is
    // false; the audit send failure and the POST failures are shown.
    bool Add();
    bool Update();
    bool Delete();

    // The fields the server keeps, in one text: a role read back after a
    // change compares equal to the one sent when the change was made.
    std::string StoredState() const;

    std::string_view ServerUrlText() const { return serverUrl_.view(); }

private:
    void NoteSent(bool deleted) const;

    zyr::records::ServerUrl serverUrl_;
    std::vector<std::unique_ptr<CKVTRoleMemberUser>> users_;
    std::vector<std::unique_ptr<CKVTRoleMemberGroup>> groups_;
    // Built on the first AddMember call: fetched roles that no page edits
    // never pay for them.
    void IndexMemberNames();
    bool namesIndexed_ = false;
    zyr::records::NameSet userNames_;
    zyr::records::NameSet groupNames_;
};
