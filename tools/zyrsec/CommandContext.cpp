#include "tools/zyrsec/CommandContext.h"

#include "audit/ComplianceFlag.h"
#include "common/QueryEscape.h"
#include "common/RequestFrame.h"
#include "common/StringTable.h"
#include "platform/ui/UiService.h"

namespace zyr::zyrsec {

using zyr::ui::MB_ICONERROR;
using zyr::ui::MB_ICONINFORMATION;
using zyr::ui::MB_ICONQUESTION;
using zyr::ui::MB_ICONWARNING;
using zyr::ui::MB_OK;
using zyr::ui::MB_YESNO;

namespace {

// The caption of the tool's own messages (those the console has no box for).
constexpr const char* kToolCaption = "zyrsec";

} // namespace

std::string Caption()
{
    return zyr::LoadStringAnsi(zyr::IDS_PROJNAME);
}

// A refusal of the tool itself: shown like the console's boxes, exit 1.
int Fail(Context& context, const std::string& message)
{
    context.ui.MessageBox(nullptr, message, kToolCaption, MB_OK | MB_ICONERROR);
    return kExitFailed;
}

// Shows a string resource as the console does (caption 100).
void ShowResource(Context& context, UINT id, unsigned icon)
{
    context.ui.MessageBox(nullptr, zyr::LoadStringAnsi(id), Caption(), MB_OK | icon);
}

bool AskYes(Context& context, const std::string& question, const std::string& caption)
{
    return context.ui.MessageBox(nullptr, question, caption, MB_YESNO | MB_ICONWARNING) == zyr::ui::IDYES;
}

// The refusal rule of every changing command.
bool RefusedByAuditGuard()
{
    if (IsAuditNotFunctional()) {
        zyr::audit::ShowAuditRefusal();
        return true;
    }
    return false;
}

namespace {

bool Fetched(Context& context, zyr::records::FetchResult result, const char* what)
{
    if (result == zyr::records::FetchResult::Fetched) {
        return true;
    }
    Fail(context, std::string(zyr::records::FetchFailureText(result)) + " The " + what + " were not read.");
    return false;
}

} // namespace

bool FetchApplicationList(Context& context, CKVTApplList& list)
{
    Progress progress(context);
    const zyr::records::FetchResult result = FetchApplications(list, progress.Handler());
    progress.Done();
    return Fetched(context, result, "applications");
}

bool FetchRoleList(Context& context, CKVTRoleList& roles)
{
    Progress progress(context);
    progress.Show("Fetching Role Data from the Server...");
    const zyr::records::FetchResult result = roles.GetRoles();
    progress.Done();
    return Fetched(context, result, "roles");
}

// The New dialogs' checks; false when refused (the message has been shown).
bool ReadNewName(Context& context, zyr::records::NewRecordKind kind, std::string& name,
                 std::string& description)
{
    description = context.invocation.Option("description");
    zyr::records::NewNameCheck check =
        zyr::records::CheckNewRecordName(kind, context.invocation.arguments.back(), description);
    if (!check.ok) {
        if (check.messageId != 0) {
            ShowResource(context, check.messageId, check.icon);
        }
        return false;
    }
    name = check.name;
    return true;
}

bool ConfirmDelete(Context& context, const char* questionFormat, std::string_view name)
{
    return AskYes(context, zyr::records::FormatWithName(questionFormat, name), Caption());
}

// A description typed on an access page or the General page of a role.
bool CheckDescription(Context& context, const std::string& description)
{
    if (description.size() > 255) {
        ShowResource(context, zyr::IDS_ONLY_255_CHARACTERS, MB_OK);
        return false;
    }
    return IsValidNameText(description);
}

void Refused(Context& context, const char* format, std::string_view name)
{
    context.ui.MessageBox(nullptr, zyr::records::FormatWithName(format, name), Caption(),
                          MB_OK | MB_ICONINFORMATION);
}

void Unchanged(Context& context, const std::string& text)
{
    context.json.Set("changed", false);
    context.text = text + "\n";
}

void Changed(Context& context, const std::string& text)
{
    context.json.Set("changed", true);
    context.text = text + "\n";
}

} // namespace zyr::zyrsec
