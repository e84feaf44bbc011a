// The application and role lists put together from rows read table by table,
// parents before children, the same for every store. A child whose parent
// is not among the rows read (removed meanwhile) is left out.
#pragma once

#include "server/storage/Records.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zyr::server {

// Records kept in the order read, found again by their row id.
template <class Record>
class IndexedRows {
public:
    explicit IndexedRows(std::vector<Record>& out) : out_(out) {}

protected:
    void Keep(int64_t id, Record record)
    {
        positions_[id] = out_.size();
        out_.push_back(std::move(record));
    }
    // The position of the record with the row id, npos when it was not read.
    size_t PositionOf(int64_t id) const
    {
        auto it = positions_.find(id);
        return it == positions_.end() ? npos : it->second;
    }

    static constexpr size_t npos = static_cast<size_t>(-1);
    std::vector<Record>& out_;

private:
    std::unordered_map<int64_t, size_t> positions_;
};

class ApplicationListAssembly : public IndexedRows<ApplicationRecord> {
public:
    using IndexedRows::IndexedRows;

    void Application(int64_t id, ApplicationRecord appl) { Keep(id, std::move(appl)); }
    // The group's application identity is taken from its application.
    void Group(int64_t id, int64_t applId, GroupRecord group)
    {
        const size_t at = PositionOf(applId);
        if (at == npos) {
            return;
        }
        ApplicationRecord& appl = out_[at];
        group.applDn = appl.dn;
        groups_[id] = {at, appl.groups.size()};
        appl.groups.push_back(std::move(group));
    }
    // An object as the list reply carries it.
    void Object(int64_t groupId, std::string dn, std::string name, std::string description,
                std::string aclEncrypted)
    {
        auto it = groups_.find(groupId);
        if (it == groups_.end()) {
            return;
        }
        GroupRecord& group = out_[it->second.first].groups[it->second.second];
        ObjectRecord& object = group.objects.emplace_back();
        object.dn = std::move(dn);
        object.groupDn = group.dn;
        object.name = std::move(name);
        object.description = std::move(description);
        object.aclEncrypted = std::move(aclEncrypted);
    }

private:
    // group id -> (application, group) positions
    std::unordered_map<int64_t, std::pair<size_t, size_t>> groups_;
};

class RoleListAssembly : public IndexedRows<RoleRecord> {
public:
    using IndexedRows::IndexedRows;

    void Role(int64_t id, RoleRecord role) { Keep(id, std::move(role)); }
    void Member(int64_t roleId, bool user, std::string name)
    {
        const size_t at = PositionOf(roleId);
        if (at == npos) {
            return;
        }
        RoleRecord& role = out_[at];
        (user ? role.memberUsers : role.memberGroups).push_back(std::move(name));
    }
};

} // namespace zyr::server
