// What one audit record changed, read from its old and new value documents:
// the rows of a side-by-side view and the one-line summary of a list.
//
// The clients send "<OldValue>" and "<NewValue>" documents with an element per
// changed field ("Description", one Value) or list: "ACE" entries
// "role:permission,permission" (the roles whose rights changed),
// "PermNamesList" entries "name:0x..." (old: removed or changed, new: added or
// changed), "MemberUsers" and "MemberGroups" (old: removed, new: added). The
// server keeps plain access-control lists ("role:mask;") when a deleted role
// leaves them, and an event's message as its new value.
#pragma once

#include "records/AuditTrail.h"

#include <string>
#include <string_view>
#include <vector>

namespace zyr::records {

struct ValueRow {
    enum class Kind {
        Text,    // a field: "Description: 'old' → 'new'"
        Entry,   // one entry of a list: "ACE Plant Ops: Read → Read,Write"
        Set,     // items taken out and put in: "Members: + CORP\jdoe, - CORP\ann"
        Message, // an event's text
    };
    Kind kind = Kind::Text;
    std::string field;
    std::string before; // Set: the items taken out, joined by ", "; "(none)" for an entry not there
    std::string after;  // Set: the items put in
    std::vector<std::string> removed; // Set only
    std::vector<std::string> added;
    bool Differs() const { return before != after; }
};

// The rows of a change, in the order of the documents; nothing for a record
// without values (an addition, a deletion).
std::vector<ValueRow> CompareAuditValues(std::string_view oldValue, std::string_view newValue);

// The rows as one line, joined by "; ".
std::string ChangeSummary(std::string_view oldValue, std::string_view newValue);
inline std::string ChangeSummary(const AuditEntry& entry)
{
    return ChangeSummary(entry.oldValue, entry.newValue);
}

} // namespace zyr::records
