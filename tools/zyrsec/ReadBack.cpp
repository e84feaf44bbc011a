#include "tools/zyrsec/ReadBack.h"

#include "common/RequestFrame.h"
#include "platform/ui/UiService.h"

#include <optional>

namespace zyr::zyrsec {

namespace {

using Kind = zyr::records::SentChange::Kind;

constexpr const char* kNoAnswer = "The security server gave no answer; ";

template <typename Record>
std::optional<std::string> StateOf(const std::vector<std::unique_ptr<Record>>& records, std::string_view dn)
{
    for (const auto& record : records) {
        if (record->DN.view() == dn) {
            return record->StoredState();
        }
    }
    return std::nullopt;
}

// The record's state as the server has it now (nullopt: not there); false
// when the list could not be read.
bool ReadState(Context& context, const zyr::records::SentChange& sent, std::optional<std::string>& state)
{
    if (sent.kind == Kind::Role) {
        CKVTRoleList roles;
        if (!FetchRoleList(context, roles)) {
            return false;
        }
        state = StateOf(roles.Roles(), sent.dn);
        return true;
    }
    CKVTApplList list;
    if (!FetchApplicationList(context, list)) {
        return false;
    }
    if (sent.kind == Kind::Application) {
        state = StateOf(list.Applications, sent.dn);
        return true;
    }
    for (const auto& application : list.Applications) {
        if (sent.kind == Kind::Group) {
            state = StateOf(application->Groups, sent.dn);
        }
        for (auto group = application->Groups.begin();
             !state && sent.kind == Kind::Object && group != application->Groups.end(); ++group) {
            state = StateOf((*group)->Objects, sent.dn);
        }
        if (state) {
            break;
        }
    }
    return true;
}

} // namespace

void ForgetLastChange()
{
    zyr::NoteChangeReply(zyr::ChangeReply::Answered);
    zyr::records::ForgetSentChange();
}

int ReadBackUnanswered(Context& context, int status)
{
    const zyr::records::SentChange sent = zyr::records::LastSentChange();
    if (zyr::LastChangeReply() == zyr::ChangeReply::Answered || sent.kind == Kind::None) {
        return status;
    }
    ForgetLastChange();
    std::optional<std::string> state;
    if (!ReadState(context, sent, state)) {
        // The fetch has said why the list could not be read.
        return Fail(context, std::string(kNoAnswer) + "whether the change is in the database is not known.");
    }
    const bool made = sent.deleted         ? !state.has_value()
                      : sent.state.empty() ? state.has_value()
                                           : state == sent.state;
    if (!made) {
        return Fail(context, std::string(kNoAnswer) + "the change is not in the database.");
    }
    const std::string message = std::string(kNoAnswer) + "the change is in the database.";
    context.ui.MessageBox(nullptr, message, "zyrsec", zyr::ui::MB_OK | zyr::ui::MB_ICONWARNING);
    if (status != kExitSuccess) {
        // The command stopped at the failure it was told: the answer is the
        // read-back's.
        context.json.Set("changed", true);
        context.text = message + "\n";
    }
    return kExitSuccess;
}

} // namespace zyr::zyrsec
