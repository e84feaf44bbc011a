// The storage of the security database. The service holds the rules; a store
// only keeps records and writes every change together with its audit record,
// all or nothing. The backends are SQLite (one file, one server) and
// PostgreSQL (one database, any number of servers).
#pragma once

#include "server/storage/Records.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zyr::server {

enum class StoreResult {
    Ok,
    NotFound,       // the identity named by the change does not exist
    ParentNotFound, // the application or group that should hold the record does not exist
    DuplicateIdentity,
    DuplicateName,
    Failed, // the storage could not complete the change; nothing was written
};

class SecurityStore {
public:
    virtual ~SecurityStore() = default;

    // Applications with their groups and objects, in creation order. Objects
    // come with what the list reply carries: no plain list, no qualifier.
    virtual bool ListApplications(std::vector<ApplicationRecord>& out) = 0;
    // The one application of this name (without regard to case), or none.
    virtual bool ListApplicationNamed(const std::string& name, std::vector<ApplicationRecord>& out) = 0;
    virtual StoreResult AddApplication(const ApplicationRecord& appl, const AuditRecord& audit) = 0;
    // Name, description, permissions and access-control list.
    virtual StoreResult UpdateApplication(const ApplicationRecord& appl, const AuditRecord& audit) = 0;
    virtual StoreResult DeleteApplication(const std::string& dn, const AuditRecord& audit) = 0;
    // The application with its groups and objects, in one change.
    virtual StoreResult ImportApplication(const ApplicationRecord& appl, const AuditRecord& audit) = 0;

    virtual StoreResult AddGroup(const GroupRecord& group, const AuditRecord& audit) = 0;
    virtual StoreResult UpdateGroup(const GroupRecord& group, const AuditRecord& audit) = 0;
    virtual StoreResult DeleteGroup(const std::string& dn, const AuditRecord& audit) = 0;
    // The group's application, for the checks of an object change.
    virtual bool FindGroup(const std::string& dn, GroupRecord& out) = 0;

    virtual StoreResult AddObject(const ObjectRecord& object, const AuditRecord& audit) = 0;
    virtual StoreResult UpdateObject(const ObjectRecord& object, const AuditRecord& audit) = 0;
    virtual StoreResult DeleteObject(const std::string& dn, const AuditRecord& audit) = 0;
    virtual bool FindObject(const std::string& dn, ObjectRecord& out) = 0;

    virtual bool ListRoles(std::vector<RoleRecord>& out) = 0;
    virtual StoreResult AddRole(const RoleRecord& role, const AuditRecord& audit) = 0;
    // Description and both member lists (replaced); the name when it changes.
    virtual StoreResult UpdateRole(const RoleRecord& role, const AuditRecord& audit) = 0;
    // With the role go its entries in every access-control list of the
    // applications, groups and objects (both forms), in the same change.
    virtual StoreResult DeleteRole(const std::string& dn, const AuditRecord& audit) = 0;

    virtual StoreResult AddLog(const LogEntry& entry) = 0;
    // Page `page` (0 = newest) of the entries in range, newest first. Both
    // ends of the range are midnights (or open).
    virtual bool GetLogPage(const TimeRange& range, int64_t page, std::vector<LogEntry>& out) = 0;
    // Removes the entries in range (all when both ends are open); ends are midnights.
    virtual StoreResult DeleteLogs(const TimeRange& range, const AuditRecord& audit, int64_t& removed) = 0;
    // Removes the entries of one second ("YYYY-MM-DD HH:MM:SS").
    virtual StoreResult DeleteLogsAt(const std::string& second, const AuditRecord& audit,
                                     int64_t& removed) = 0;

    // Audit records, newest first, a page of kPageSize. A filtered page is
    // ordered by time, records of the same second newest written first.
    virtual bool GetAuditPage(const AuditFilter& filter, int64_t page, std::vector<AuditRecord>& out) = 0;
    bool GetAuditPage(int64_t page, std::vector<AuditRecord>& out) { return GetAuditPage({}, page, out); }
    // An audit record of its own (for events that change nothing else).
    virtual StoreResult AppendAudit(const AuditRecord& audit) = 0;

    virtual bool GetComplianceFlag(bool& on) = 0;
    // Switches the flag on for good.
    virtual StoreResult SetComplianceOn(const AuditRecord& audit) = 0;

    // True while the database holds no application, role or log entry.
    virtual bool IsEmpty(bool& empty) = 0;

    // Loads many records in one transaction, without per-record audit records
    // (seeds). Nothing is kept unless Commit succeeds. The writer holds the
    // store's write lock from its creation until Commit or its end.
    class BulkWriter {
    public:
        virtual ~BulkWriter() = default;
        virtual bool Application(const ApplicationRecord& appl) = 0; // with its groups and objects
        virtual bool Role(const RoleRecord& role) = 0;
        virtual bool Log(const LogEntry& entry) = 0;
        virtual bool Audit(const AuditRecord& audit) = 0;
        virtual bool Commit() = 0;
    };
    virtual std::unique_ptr<BulkWriter> BeginBulk() = 0;

    // For a database that other servers change too: a number, read from the
    // database, that moves on with every committed change of any server, so
    // that what a server keeps in memory is built again. Where this process
    // is the only writer it is 0 and Shared() is false.
    virtual uint64_t SharedGeneration() { return 0; }
    virtual bool Shared() const { return false; }
};

// Opens (creating when missing) the SQLite database at path and brings its
// schema up to date. Null, with a reason, when that fails. With fullSync every
// commit reaches the disk before it is acknowledged; without it a commit
// survives the end of the process but not of the machine.
std::unique_ptr<SecurityStore> OpenSqliteStore(const std::string& path, std::string& reason,
                                               bool fullSync = true);

// Connects to the PostgreSQL database named by a libpq connection string with
// a pool of `connections` and brings its schema up to date. Null, with a
// reason, when that fails. Without fullSync a commit is acknowledged before
// the database server has it on disk.
std::unique_ptr<SecurityStore> OpenPgStore(const std::string& conninfo, std::string& reason, bool fullSync,
                                           size_t connections);

// PostgreSQL when `database` is a connection string (postgresql://..., or
// key=value settings), else the SQLite file at that path.
std::unique_ptr<SecurityStore> OpenStore(const std::string& database, std::string& reason, bool fullSync,
                                         size_t connections);

} // namespace zyr::server
