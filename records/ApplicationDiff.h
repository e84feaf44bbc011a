// An export file read without sending it, and its comparison with an
// application of the server: the preview before an import and the diff of a
// file against the server. The export file holds no access-control lists; an
// imported application, its groups and objects start with empty ones.
#pragma once

#include "platform/com/WinTypes.h"
#include "records/Application.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::records {

// What the previews say of entries.
extern const char* const kExportHoldsNoEntriesNote;

// Reads the export file at path as the import reads it (name, identity,
// description, permissions, groups and objects). E_FAIL when the file cannot
// be read or is not XML; the failure of reading "ApplName" when it names no
// application.
HRESULT LoadExportFile(const std::string& path, std::unique_ptr<CKVTAppl>& application);

// The server's application that the file's application stands for: the one of
// the same identity, else the one of the same name (both without regard to
// case); null when there is none.
const CKVTAppl* FindCounterpart(const CKVTApplList& list, const CKVTAppl& fileApplication);

// One difference between the file and the server. Added: only in the file;
// Removed: only on the server; Changed: in both, with from (the server's) and
// to (the file's).
struct Difference {
    enum class Change { Added, Removed, Changed };
    Change change = Change::Changed;
    std::string kind; // "application", "permission", "group", "object"
    std::string path; // "Group" or "Group / Object"; the name of an application or permission
    std::string what; // for Changed: "name", "identity", "description", "value"
    std::string from;
    std::string to;
    std::string Text() const;
};

// The differences of the file's application against the server's, in tree
// order: the application's fields, the permissions (by name), the groups and
// their objects (by identity, else by name).
std::vector<Difference> DiffApplications(const CKVTAppl& server, const CKVTAppl& file);

} // namespace zyr::records
