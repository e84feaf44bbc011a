#include "tools/zyrsec/ZyrsecRun.h"

#include "common/ServerSettings.h"
#include "platform/text/CodePage.h"
#include "signin/SetupCheck.h"
#include "signin/SignIn.h"
#include "tools/zyrsec/CommandContext.h"
#include "tools/zyrsec/ReadBack.h"
#include "tools/zyrsec/Rendering.h"
#include "web/ServerConnection.h"

#include "tools/zyrsec/TextTable.h"
#include <strings.h>
#include <unistd.h>

namespace zyr::zyrsec {

namespace {

bool ReadPassword(const RunStreams& streams, std::string& password)
{
    if (streams.inIsTerminal) {
        return ReadPasswordFromTerminal("Password: ", password);
    }
    password.clear();
    for (int c; (c = std::fgetc(streams.in)) != EOF && c != '\n';) {
        password.push_back(static_cast<char>(c));
    }
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    return true;
}

bool SignIn(Context& context)
{
    const GlobalOptions& global = context.invocation.global;
    zyr::signin::LoginFields fields;
    if (global.user) {
        fields.useLogonUser = 0;
        fields.userName.Assign(*global.user);
        fields.domain.Assign(global.domain.value_or(""));
        std::string password;
        ReadPassword(context.streams, password);
        fields.password.Assign(password);
        explicit_bzero(password.data(), password.size());
    } else {
        fields.useLogonUser = 1;
        zyr::signin::FillFromLogonUser(fields);
    }
    // Commands that only read need no "Open": the server lets any account it
    // knows read, and judges every change itself.
    const zyr::signin::SignInVerdict verdict = zyr::signin::DecideSignIn(
        fields, context.invocation.command->effect == Effect::Changes ? zyr::signin::SignInPurpose::Console
                                                                      : zyr::signin::SignInPurpose::Read);
    fields.password.Wipe();
    if (!verdict.message.empty()) {
        context.ui.MessageBox(nullptr, verdict.message, zyr::signin::kSignInCaption,
                              zyr::ui::MB_OK | verdict.icon);
    }
    return verdict.end == zyr::signin::SignInEnd::EndOk;
}

} // namespace

int RunZyrsec(const std::vector<std::string>& arguments, const RunStreams& streams)
{
    const ParseOutcome parsed = ParseCommandLine(arguments);
    if (!parsed.ok) {
        std::fprintf(streams.err, "zyrsec: %s\n(zyrsec --help lists the commands)\n", parsed.error.c_str());
        if (parsed.invocation.global.json) {
            WriteJson(streams.out, FailureJson(kExitUsage, {parsed.error}));
        }
        return kExitUsage;
    }
    const Invocation& invocation = parsed.invocation;
    if (invocation.help) {
        const std::string help = invocation.command ? CommandHelp(*invocation.command) : GeneralHelp();
        std::fputs(help.c_str(), streams.out);
        return kExitSuccess;
    }

    CliUi ui(invocation.global.yes, streams.inIsTerminal && streams.errIsTerminal, streams.err);
    zyr::ui::InstallUiService(&ui);
    Context context{invocation, ui, streams};
    context.json.Set("ok", true);
    context.json.Set("command", invocation.command->words);

    const auto run = [&]() {
        if (invocation.global.server) {
            const std::u16string url = zyr::text::Widen(*invocation.global.server);
            if (FAILED(SetSecurityServer(zyr::kSecurityServerAccessKey, url.c_str()))) {
                return Fail(context, "The server URL '" + *invocation.global.server + "' cannot be used.");
            }
        }
        const GlobalOptions& global = invocation.global;
        if (global.unixSocket) {
            zyr::SetServerUnixSocket(*global.unixSocket);
        }
        if (global.caFile) {
            if (access(global.caFile->c_str(), R_OK) != 0) {
                return Fail(context, "The certificate file '" + *global.caFile + "' cannot be read.");
            }
            zyr::SetServerCaFile(*global.caFile);
        }
        if (invocation.command->effect == Effect::Inspects) {
            return invocation.command->handler(context);
        }
        // A machine that cannot sign in is told why, not only that it failed.
        if (const std::string problem = zyr::signin::FindSetupProblem(); !problem.empty()) {
            return Fail(context, problem);
        }
        if (!SignIn(context)) {
            return kExitFailed;
        }
        if (invocation.command->effect != Effect::Changes) {
            return invocation.command->handler(context);
        }
        if (RefusedByAuditGuard()) {
            return kExitFailed;
        }
        ForgetLastChange();
        return ReadBackUnanswered(context, invocation.command->handler(context));
    };
    const int status = run();
    zyr::web::ClearServerCredentials();
    zyr::ui::ResetUiService();
    std::vector<std::string> messages;
    for (const auto& message : ui.Messages()) {
        messages.push_back(message.text);
    }
    if (invocation.global.json) {
        if (status == kExitSuccess || context.answersFailure) {
            if (!messages.empty()) {
                context.json.Set("messages", Strings(messages));
            }
            WriteJson(streams.out, context.json);
        } else {
            WriteJson(streams.out, FailureJson(status, messages));
        }
    } else if (status == kExitSuccess || context.answersFailure) {
        std::fputs(EscapeControls(context.text).c_str(), streams.out);
    }
    std::fflush(streams.out);
    return status;
}

} // namespace zyr::zyrsec
