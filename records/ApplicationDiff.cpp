#include "records/ApplicationDiff.h"

#include "common/KvtXml.h"
#include "platform/text/CodePage.h"
#include "records/AclEditing.h"
#include "records/ChangeRules.h"
#include "records/SecureGroup.h"

#include <filesystem>

namespace zyr::records {

using zyr::text::EqualsNoCase;

const char* const kExportHoldsNoEntriesNote =
    "The export file holds no access-control entries: the application, its groups and objects arrive "
    "with empty lists, and no role is granted anything by the import.";

namespace {

using Change = Difference::Change;

std::string Quoted(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

// Pairs the records of two lists: the same identity first, else the same
// name, each record of the server used once. matched[i] is the server index
// of file record i, or npos.
template <typename Record>
std::vector<size_t> Pair(const std::vector<std::unique_ptr<Record>>& server,
                         const std::vector<std::unique_ptr<Record>>& file, std::vector<bool>& used)
{
    used.assign(server.size(), false);
    std::vector<size_t> matched(file.size(), std::string::npos);
    for (int byName = 0; byName < 2; ++byName) {
        for (size_t f = 0; f < file.size(); ++f) {
            for (size_t s = 0; s < server.size() && matched[f] == std::string::npos; ++s) {
                const bool same = byName != 0 ? EqualsNoCase(server[s]->CN.view(), file[f]->CN.view())
                                              : !file[f]->DN.view().empty() &&
                                                    EqualsNoCase(server[s]->DN.view(), file[f]->DN.view());
                if (!used[s] && same) {
                    matched[f] = s;
                    used[s] = true;
                }
            }
        }
    }
    return matched;
}

template <typename Record>
void DiffFields(std::vector<Difference>& out, const std::string& kind, const std::string& path,
                const Record& server, const Record& file)
{
    auto field = [&](const char* what, std::string_view from, std::string_view to, bool exact) {
        if (exact ? from != to : !EqualsNoCase(from, to)) {
            out.push_back({Change::Changed, kind, path, what, std::string(from), std::string(to)});
        }
    };
    field("name", server.CN.view(), file.CN.view(), true);
    field("identity", server.DN.view(), file.DN.view(), false);
    field("description", server.Description.view(), file.Description.view(), true);
}

template <typename Record, typename Inner>
void DiffLists(std::vector<Difference>& out, const std::string& kind, const std::string& prefix,
               const std::vector<std::unique_ptr<Record>>& server,
               const std::vector<std::unique_ptr<Record>>& file, Inner&& inner)
{
    std::vector<bool> used;
    const std::vector<size_t> matched = Pair(server, file, used);
    for (size_t f = 0; f < file.size(); ++f) {
        const std::string path = prefix + std::string(file[f]->CN.view());
        if (matched[f] == std::string::npos) {
            out.push_back({Change::Added, kind, path, "", "", ""});
            continue;
        }
        DiffFields(out, kind, path, *server[matched[f]], *file[f]);
        inner(*server[matched[f]], *file[f], path);
    }
    for (size_t s = 0; s < server.size(); ++s) {
        if (!used[s]) {
            out.push_back({Change::Removed, kind, prefix + std::string(server[s]->CN.view()), "", "", ""});
        }
    }
}

} // namespace

HRESULT LoadExportFile(const std::string& path, std::unique_ptr<CKVTAppl>& application)
{
    application.reset();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return E_FAIL;
    }
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document || FAILED(document->LoadFile(path))) {
        return E_FAIL;
    }
    std::string name;
    HRESULT hr = document->GetValue("ApplName", name);
    if (FAILED(hr)) {
        return hr;
    }
    std::string description;
    if (FAILED(document->GetValue("Description", description))) {
        description.clear();
    }
    auto loaded = std::make_unique<CKVTAppl>(name, description, false);
    hr = loaded->ImportFromXml(*document);
    if (FAILED(hr)) {
        return hr;
    }
    application = std::move(loaded);
    return S_OK;
}

const CKVTAppl* FindCounterpart(const CKVTApplList& list, const CKVTAppl& fileApplication)
{
    for (int byName = 0; byName < 2; ++byName) {
        for (const auto& application : list.Applications) {
            if (byName != 0 ? EqualsNoCase(application->CN.view(), fileApplication.CN.view())
                            : !fileApplication.DN.view().empty() &&
                                  EqualsNoCase(application->DN.view(), fileApplication.DN.view())) {
                return application.get();
            }
        }
    }
    return nullptr;
}

std::string Difference::Text() const
{
    switch (change) {
    case Change::Added:
        return "+ " + kind + " " + Quoted(path) + " (only in the file)";
    case Change::Removed:
        return "- " + kind + " " + Quoted(path) + " (only on the server)";
    case Change::Changed:
        break;
    }
    return "~ " + kind + " " + Quoted(path) + " " + what + ": " + Quoted(from) + " -> " + Quoted(to);
}

std::vector<Difference> DiffApplications(const CKVTAppl& server, const CKVTAppl& file)
{
    std::vector<Difference> out;
    const std::string name(file.CN.view());
    DiffFields(out, "application", name, server, file);

    // Permissions are paired by name; a different bit is a changed value.
    std::vector<bool> usedPermissions(server.Permissions.size(), false);
    for (const auto& permission : file.Permissions) {
        const PermissionEntry* found = FindPermissionByName(server.Permissions, permission.Name.view());
        const std::string permissionName(permission.Name.view());
        if (found == nullptr) {
            out.push_back({Change::Added, "permission", permissionName, "", "", ""});
            continue;
        }
        usedPermissions[static_cast<size_t>(found - server.Permissions.data())] = true;
        if (PermissionBits(*found) != PermissionBits(permission)) {
            out.push_back({Change::Changed, "permission", permissionName, "value",
                           PermissionValueText(PermissionBits(*found)),
                           PermissionValueText(PermissionBits(permission))});
        }
    }
    for (size_t s = 0; s < server.Permissions.size(); ++s) {
        if (!usedPermissions[s]) {
            out.push_back(
                {Change::Removed, "permission", std::string(server.Permissions[s].Name.view()), "", "", ""});
        }
    }

    DiffLists(out, "group", "", server.Groups, file.Groups,
              [&](const CKVTSecGroup& serverGroup, const CKVTSecGroup& fileGroup, const std::string& path) {
                  DiffLists(out, "object", path + " / ", serverGroup.Objects, fileGroup.Objects,
                            [](const CKVTApplSecObj&, const CKVTApplSecObj&, const std::string&) {});
              });
    return out;
}

} // namespace zyr::records
