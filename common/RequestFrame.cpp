#include "common/RequestFrame.h"

#include "common/QueryEscape.h"
#include "common/ServerSettings.h"
#include "common/StringTable.h"
#include "platform/ui/UiService.h"

#include <charconv>

namespace zyr {

namespace {

struct RequestIdentity {
    std::string userName;
    std::string computerName;
};

RequestIdentity& Identity()
{
    static RequestIdentity identity;
    return identity;
}

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

void ShowResourceMessage(UINT id)
{
    std::string caption = LoadStringAnsi(IDS_PROJNAME);
    if (caption.empty()) {
        caption = "ZYR Security Manager";
    }
    ui::Ui().MessageBox(nullptr, LoadStringAnsi(id), caption, ui::MB_ICONERROR | ui::MB_OK);
}

void ShowErrorBox(const std::string& text)
{
    ui::Ui().MessageBox(nullptr, text, "Error", ui::MB_ICONERROR | ui::MB_OK);
}

// A bare decimal HTTP status of 400 or above, as the POST carrier writes it.
bool IsFailureStatus(std::string_view result)
{
    if (result.size() != 3) {
        return false;
    }
    int status = 0;
    auto [end, ec] = std::from_chars(result.data(), result.data() + result.size(), status);
    return ec == std::errc() && end == result.data() + result.size() && status >= 400;
}

} // namespace

// ---------------------------------------------------------------------------

const std::string& CurrentUserName()
{
    auto& identity = Identity();
    if (identity.userName.empty()) {
        GetFullUserName(identity.userName);
    }
    return identity.userName;
}

const std::string& PeekCurrentUserName()
{
    return Identity().userName;
}

void SetCurrentUserName(std::string_view fullName)
{
    Identity().userName.assign(fullName);
}

void SetCurrentUser(std::string_view domain, std::string_view account)
{
    std::string fullName;
    fullName.reserve(domain.size() + 1 + account.size());
    fullName.append(domain).append(1, '\\').append(account);
    Identity().userName = std::move(fullName);
}

const std::string& CurrentComputerName()
{
    auto& identity = Identity();
    if (identity.computerName.empty()) {
        identity.computerName = GetLocalComputerName();
    }
    return identity.computerName;
}

void SetCurrentComputerName(std::string_view name)
{
    Identity().computerName.assign(name);
}

void ResetRequestIdentity()
{
    Identity() = RequestIdentity{};
}

// ---------------------------------------------------------------------------

RequestUrl::RequestUrl(std::string_view serverUrl) : url_(serverUrl) {}

RequestUrl::RequestUrl(std::string_view serverUrl, std::string_view object, std::string_view operation)
    : url_(serverUrl)
{
    Plain("Object", object);
    Plain("Operation", operation);
}

void RequestUrl::Key(std::string_view key)
{
    url_.push_back(hasQuery_ ? '&' : '?');
    hasQuery_ = true;
    url_.append(key);
    url_.push_back('=');
}

RequestUrl& RequestUrl::Escaped(std::string_view key, std::string_view value)
{
    Key(key);
    url_.append(::EscapeQueryValue(value));
    return *this;
}

RequestUrl& RequestUrl::Plain(std::string_view key, std::string_view value)
{
    Key(key);
    url_.append(value);
    return *this;
}

RequestUrl& RequestUrl::Number(std::string_view key, long value)
{
    Key(key);
    url_.append(std::to_string(value));
    return *this;
}

RequestUrl& RequestUrl::Encrypted(std::string_view key, std::string_view cipherText)
{
    return Plain(key, cipherText);
}

RequestUrl& RequestUrl::Trailer()
{
    Escaped("User", CurrentUserName());
    return Escaped("Computer", CurrentComputerName());
}

FormBody& FormBody::Field(std::string_view key, std::string_view value)
{
    if (!body_.empty()) {
        body_.push_back('&');
    }
    body_.append(key).append(1, '=').append(value);
    return *this;
}

FormBody& FormBody::Raw(std::string_view text)
{
    body_.append(text);
    return *this;
}

// ---------------------------------------------------------------------------

GetChangeVerdict JudgeGetChange(bool carrierOk, std::string_view reply)
{
    GetChangeVerdict verdict;
    verdict.sendFailed = carrierOk && Contains(reply, kAuditSendFailedMarker);
    verdict.ok = carrierOk && !verdict.sendFailed;
    return verdict;
}

namespace {

thread_local ChangeReply lastChangeReply = ChangeReply::Answered;

} // namespace

ChangeReply LastChangeReply()
{
    return lastChangeReply;
}

void NoteChangeReply(ChangeReply reply)
{
    lastChangeReply = reply;
}

ChangeReply PostChangeReply(std::string_view result)
{
    if (result.empty()) {
        return ChangeReply::Empty;
    }
    return result.starts_with("800 ") ? ChangeReply::None : ChangeReply::Answered;
}

bool ReportGetChange(bool carrierOk, std::string_view reply, bool answered)
{
    NoteChangeReply(!carrierOk && !answered      ? ChangeReply::None
                    : carrierOk && reply.empty() ? ChangeReply::Empty
                                                 : ChangeReply::Answered);
    const GetChangeVerdict verdict = JudgeGetChange(carrierOk, reply);
    if (verdict.sendFailed) {
        ShowAuditSendFailed();
    }
    return verdict.ok;
}

PostVerdict JudgePostResult(std::string_view result)
{
    PostVerdict verdict;
    // The carrier's own failures come first: the change did not reach the
    // server, whatever words the system's message happens to hold.
    if (result == "800") {
        verdict.ok = false;
        verdict.transportFailed = true;
        verdict.textToShow = "The security server reported an error and did not make the change.";
        return verdict;
    }
    if (result.starts_with("800 ")) {
        verdict.ok = false;
        verdict.transportFailed = true;
        verdict.textToShow = "The security server could not be reached: ";
        verdict.textToShow.append(result.substr(4));
        return verdict;
    }
    if (IsFailureStatus(result)) {
        verdict.ok = false;
        verdict.transportFailed = true;
        verdict.textToShow = "The security server answered with HTTP status ";
        verdict.textToShow.append(result).append(".");
        return verdict;
    }

    verdict.lowerError = Contains(result, "error");
    verdict.upperError = Contains(result, "Error");
    verdict.sendFailed = Contains(result, kAuditSendFailedMarker);
    verdict.ok = !verdict.lowerError && !verdict.upperError && !verdict.sendFailed;
    if (verdict.lowerError || verdict.upperError) {
        verdict.textToShow.assign(result);
    }
    return verdict;
}

bool ReportPostResult(std::string_view result, PostReportStyle style)
{
    NoteChangeReply(PostChangeReply(result));
    const PostVerdict verdict = JudgePostResult(result);
    if (verdict.ok) {
        return true;
    }
    if (verdict.transportFailed) {
        ShowErrorBox(verdict.textToShow);
        return false;
    }
    const bool everyTest = style == PostReportStyle::EveryTest;
    bool shown = false;
    if (verdict.lowerError) {
        ShowErrorBox(verdict.textToShow);
        shown = true;
    }
    if (verdict.upperError && (everyTest || !shown)) {
        ShowErrorBox(verdict.textToShow);
        shown = true;
    }
    if (verdict.sendFailed && (everyTest || !shown)) {
        ShowAuditSendFailed();
    }
    return false;
}

void ShowAuditComponentsMissing()
{
    ShowResourceMessage(IDS_AUDIT_COMPONENTS_MISSING);
}

void ShowAuditSendFailed()
{
    ShowResourceMessage(IDS_AUDIT_SEND_FAILED);
}

} // namespace zyr
