// Export files read without importing them: what an import would add, and
// how a file differs from the server's application.
#include "tools/zyrsec/Commands.h"

#include "records/ApplicationDiff.h"
#include "records/ApplicationImport.h"

namespace zyr::zyrsec {

namespace {

// diff's exit status when the comparison could not be made, as diff(1) has it.
constexpr int kExitTrouble = 2;

std::unique_ptr<CKVTAppl> ReadFile(Context& context, const std::string& path)
{
    std::unique_ptr<CKVTAppl> application;
    if (FAILED(zyr::records::LoadExportFile(path, application)) || application == nullptr) {
        Fail(context, "The file '" + path + "' cannot be read as an application export file.");
        return nullptr;
    }
    return application;
}

} // namespace

int PreviewImport(Context& context)
{
    const std::string& path = context.invocation.arguments[0];
    const std::unique_ptr<CKVTAppl> file = ReadFile(context, path);
    CKVTApplList list;
    if (file == nullptr || !FetchApplicationList(context, list)) {
        return kExitFailed;
    }
    size_t objects = 0;
    for (const auto& group : file->Groups) {
        objects += group->Objects.size();
    }
    const CKVTAppl* existing = zyr::records::FindCounterpart(list, *file);
    context.json.Set("dry_run", true);
    context.json.Set("would_import", existing == nullptr);
    context.json.Set("application", ApplicationJson(*file));
    context.json.Set("note", zyr::records::kExportHoldsNoEntriesNote);
    context.text = "Dry run: nothing was sent to the server.\n\n" + ApplicationText(*file) + "\n" +
                   std::to_string(file->Permissions.size()) + " permissions, " +
                   std::to_string(file->Groups.size()) + " groups, " + std::to_string(objects) +
                   " objects.\n" + zyr::records::kExportHoldsNoEntriesNote + "\n";
    if (existing != nullptr) {
        context.answersFailure = true;
        context.json.Set("ok", false);
        return Fail(context, std::string(zyr::records::kApplicationExistsMessage) + " ('" +
                                 std::string(existing->CN.view()) + "' " + std::string(existing->DN.view()) +
                                 "): the import would be refused. 'zyrsec diff " + path +
                                 "' shows how they differ.");
    }
    return kExitSuccess;
}

int DiffApplicationFile(Context& context)
{
    const std::string& path = context.invocation.arguments[0];
    const std::unique_ptr<CKVTAppl> file = ReadFile(context, path);
    CKVTApplList list;
    if (file == nullptr || !FetchApplicationList(context, list)) {
        return kExitTrouble;
    }
    const CKVTAppl* server = zyr::records::FindCounterpart(list, *file);
    if (server == nullptr) {
        Fail(context, "The server has no application named '" + std::string(file->CN.view()) +
                          "' or with the identity " + std::string(file->DN.view()) + ".");
        return kExitTrouble;
    }
    const std::vector<zyr::records::Difference> differences = zyr::records::DiffApplications(*server, *file);
    Json items = Json::Array();
    std::string text;
    static const char* const kChanges[] = {"added", "removed", "changed"};
    for (const auto& difference : differences) {
        Json item = Json::Object();
        item.Set("change", kChanges[static_cast<int>(difference.change)]);
        item.Set("kind", difference.kind);
        item.Set("path", difference.path);
        if (difference.change == zyr::records::Difference::Change::Changed) {
            item.Set("field", difference.what);
            item.Set("server", difference.from);
            item.Set("file", difference.to);
        }
        items.Push(std::move(item));
        text += difference.Text() + "\n";
    }
    context.json.Set("application", Named(std::string(server->CN.view()), server->DN.view()));
    context.json.Set("equal", differences.empty());
    context.json.Set("differences", std::move(items));
    context.json.Set("note",
                     "The export file holds no access-control entries; the server's are not compared.");
    context.text = "--- server: " + std::string(server->CN.view()) + " " + std::string(server->DN.view()) +
                   "\n+++ file: " + path + "\n" + (differences.empty() ? "No differences.\n" : text) +
                   "(The export file holds no access-control entries; the server's are not compared.)\n";
    if (differences.empty()) {
        return kExitSuccess;
    }
    // The differences are the answer, also with exit status 1.
    context.answersFailure = true;
    return kExitFailed;
}

} // namespace zyr::zyrsec
