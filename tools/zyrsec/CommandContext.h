// What every command of zyrsec works with: the parsed command line, the
// message boxes, the answer being built, and the small steps that the
// commands share (refusals, questions, the New dialogs' checks, fetching
// with progress on the terminal).
#pragma once

#include "platform/com/WinTypes.h"
#include "records/Application.h"
#include "records/ChangeRules.h"
#include "roles/RoleList.h"
#include "tools/zyrsec/CliUi.h"
#include "tools/zyrsec/CommandLine.h"
#include "tools/zyrsec/Json.h"
#include "tools/zyrsec/ZyrsecRun.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace zyr::zyrsec {

struct Context {
    Context(const Invocation& i, CliUi& u, const RunStreams& s) : invocation(i), ui(u), streams(s) {}
    const Invocation& invocation;
    CliUi& ui;
    const RunStreams& streams;
    Json json = Json::Object();  // the answer of --json, "ok" first
    std::string text;            // the plain answer
    bool answersFailure = false; // the answer is written on a failure as well
};

// Progress of a long fetch on the terminal (standard error), never with
// --json or when the output is not a terminal.
class Progress {
public:
    explicit Progress(const Context& context)
        : stream_(context.streams.err), on_(!context.invocation.global.json &&
                                            context.streams.errIsTerminal && context.streams.outIsTerminal)
    {
    }
    ~Progress() { Done(); }
    void Show(std::string_view text)
    {
        if (on_) {
            std::fprintf(stream_, "\r\033[K%.*s", static_cast<int>(text.size()), text.data());
            std::fflush(stream_);
            shown_ = true;
        }
    }
    void Done()
    {
        if (shown_) {
            std::fprintf(stream_, "\r\033[K");
            std::fflush(stream_);
            shown_ = false;
        }
    }
    StatusTextHandler Handler()
    {
        return [this](std::string_view text) { Show(text); };
    }

private:
    std::FILE* stream_;
    bool on_;
    bool shown_ = false;
};

// The product caption of the console's boxes (string resource 100).
std::string Caption();

// A refusal of the tool itself: shown like the console's boxes, exit 1.
int Fail(Context& context, const std::string& message);

// Shows a string resource as the console does (caption 100).
void ShowResource(Context& context, UINT id, unsigned icon);

// A Yes/No question with the warning icon; true for Yes.
bool AskYes(Context& context, const std::string& question, const std::string& caption);

// The refusal rule of every changing command.
bool RefusedByAuditGuard();

// Fetches the lists, with progress on the terminal. False when the list could
// not be read: the reason has been shown and the command fails (exit 1).
[[nodiscard]] bool FetchApplicationList(Context& context, CKVTApplList& list);
[[nodiscard]] bool FetchRoleList(Context& context, CKVTRoleList& roles);

// The New dialogs' checks of the command's last argument and its
// --description; false when refused (the message has been shown), else the
// trimmed name and the description.
bool ReadNewName(Context& context, zyr::records::NewRecordKind kind, std::string& name,
                 std::string& description);

// The question before a deletion: questionFormat with the record's name.
bool ConfirmDelete(Context& context, const char* questionFormat, std::string_view name);

// A description typed on an access page or the General page of a role.
bool CheckDescription(Context& context, const std::string& description);

// A name that is taken: format's message as the console's dialog shows it.
void Refused(Context& context, const char* format, std::string_view name);

// The answer of a command that sent nothing, or that changed something.
void Unchanged(Context& context, const std::string& text);
void Changed(Context& context, const std::string& text);

} // namespace zyr::zyrsec
