// The records of the security database as the server keeps them. Lists that
// travel encrypted are kept both plain (for the audit trail and the rules) and
// in their encrypted form, so that list replies copy rather than encrypt.
#pragma once

#include "cache/AuditFilter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zyr::server {

struct ObjectRecord {
    std::string dn;
    std::string groupDn;
    std::string name;
    std::string description;
    std::string aclPlain;
    std::string aclEncrypted;
    int32_t useQualifier = 0;
    std::string qualifierName;
    std::string qualifierType;
    std::string qualifierOperator;
    std::string qualifierValue;
};

struct GroupRecord {
    std::string dn;
    std::string applDn;
    std::string name;
    std::string description;
    std::string aclPlain;
    std::string aclEncrypted;
    std::vector<ObjectRecord> objects; // filled by list reads only
};

struct ApplicationRecord {
    std::string dn;
    std::string name;
    std::string description;
    std::string permissionsPlain;
    std::string permissionsEncrypted;
    std::string aclPlain;
    std::string aclEncrypted;
    std::vector<GroupRecord> groups; // filled by list reads and imports only
};

struct RoleRecord {
    std::string dn;
    std::string name;
    std::string description;
    std::vector<std::string> memberUsers;
    std::vector<std::string> memberGroups;
};

struct LogEntry {
    std::string time; // "YYYY-MM-DD HH:MM:SS", server local time
    std::string user;
    std::string action;
    std::string status;
    std::string computer;
};

// One change of the database, written in the transaction of the change.
struct AuditRecord {
    std::string time;
    std::string user;
    std::string computer;
    std::string object;
    std::string operation;
    std::string identity;
    std::string name;
    std::string oldValue; // decrypted fragment, as the console rendered it
    std::string newValue;
};

// A range of log times: [from, to), either end open when empty.
struct TimeRange {
    std::string from;
    std::string to;
};

using zyr::audittrail::AuditFilter;

constexpr int kPageSize = 50;

} // namespace zyr::server
