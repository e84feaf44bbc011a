// The frame every request to the security server shares: the URL with its
// object, operation and fields, the operator and computer that every changing
// request names, form bodies, and the rules that judge replies.
#pragma once

#include <string>
#include <string_view>

namespace zyr {

// ---------------------------------------------------------------------------
// The operator and computer named by the "&User=" and "&Computer=" trailer.
// Process-wide, filled on first need and kept until ResetRequestIdentity.

// The operator as domain, backslash and account name. When still empty it is
// filled from GetFullUserName.
const std::string& CurrentUserName();
// The value as it stands, without filling it.
const std::string& PeekCurrentUserName();
// Set by the sign-in.
void SetCurrentUserName(std::string_view fullName);
// The same from its parts: domain, backslash, account ("\jdoe" for no domain).
void SetCurrentUser(std::string_view domain, std::string_view account);

// The computer name. When still empty it is filled from GetLocalComputerName;
// never refreshed afterwards.
const std::string& CurrentComputerName();
void SetCurrentComputerName(std::string_view name); // tests and tools

// Forgets both, as a new process would (tests).
void ResetRequestIdentity();

// ---------------------------------------------------------------------------
// Request URLs: the server URL, then fields written as "?" for the first and
// "&" for the others, the key, "=" and the value.
class RequestUrl {
public:
    // The bare server URL (the connection test, and the requests outside the
    // object frame: "?Operation=GetServerVersion", "?Computer=").
    explicit RequestUrl(std::string_view serverUrl);
    // serverUrl "?Object=" object "&Operation=" operation.
    RequestUrl(std::string_view serverUrl, std::string_view object, std::string_view operation);

    // A name, description, operator or computer: passed through EscapeQueryValue.
    RequestUrl& Escaped(std::string_view key, std::string_view value);
    // A server identity, number or date: written as it is.
    RequestUrl& Plain(std::string_view key, std::string_view value);
    RequestUrl& Number(std::string_view key, long value);
    // A text already encrypted by the cipher: its base-64 variant is URL-safe
    // enough for the server and is written as it is.
    RequestUrl& Encrypted(std::string_view key, std::string_view cipherText);
    // "&User=" and the escaped CurrentUserName, "&Computer=" and the escaped
    // CurrentComputerName, both filled first when still empty.
    RequestUrl& Trailer();

    const std::string& str() const { return url_; }
    operator const std::string&() const { return url_; }

private:
    void Key(std::string_view key);

    std::string url_;
    bool hasQuery_ = false;
};

// A form body (application/x-www-form-urlencoded): key "=" value pairs joined
// by "&". Values are written as they are.
class FormBody {
public:
    FormBody& Field(std::string_view key, std::string_view value);
    // Text appended as it is, for bodies that carry a prepared fragment.
    FormBody& Raw(std::string_view text);

    const std::string& str() const { return body_; }
    operator const std::string&() const { return body_; }

private:
    std::string body_;
};

// ---------------------------------------------------------------------------
// Replies.

// The server's report that it could not pass a change to the audit component.
inline constexpr std::string_view kAuditSendFailedMarker = "TAVOS_Send_Failed";

// A changing operation sent by GET.
struct GetChangeVerdict {
    bool ok = false;
    bool sendFailed = false; // the reply holds "TAVOS_Send_Failed"
};
// Succeeds when the carrier succeeded and the reply does not hold the marker.
GetChangeVerdict JudgeGetChange(bool carrierOk, std::string_view reply);
// Judges, shows message 32835 when the audit send failed, returns whether the
// change succeeded. A carrier failure shows nothing: the carrier has traced it.
// answered is false when no reply arrived at all (the carrier's HTTP status
// was none).
bool ReportGetChange(bool carrierOk, std::string_view reply, bool answered = true);

// A changing operation sent by POST. The result text is the reply body, or
// the carrier's failure: a decimal HTTP status of 400 or above, "800" (an
// error signalled in the headers) or "800 " and the system's message.
struct PostVerdict {
    bool ok = true;
    bool lowerError = false;      // holds "error"
    bool upperError = false;      // holds "Error"
    bool sendFailed = false;      // holds "TAVOS_Send_Failed"
    bool transportFailed = false; // a failure of the carrier, not a reply
    // The text for the "Error" box: the result text itself for an error reply,
    // a readable sentence for a carrier failure; empty when there is none.
    std::string textToShow;
};
PostVerdict JudgePostResult(std::string_view result);

// How many boxes a failed POST shows.
enum class PostReportStyle {
    // Applications, groups and objects: each test shows its own box ("error",
    // then "Error", then the audit message), so a text with both words shows
    // two "Error" boxes.
    EveryTest,
    // Roles: the first failed test shows its box and ends the judging.
    FirstFailure,
};
// Judges, shows the boxes (caption "Error" with the error icon, or message
// 32835), returns whether the change succeeded. A carrier failure shows one
// "Error" box with its readable text.
bool ReportPostResult(std::string_view result, PostReportStyle style);

// What the last change reported on this thread (ReportGetChange,
// ReportPostResult, NoteChangeReply) got back. The wire rules count an empty
// reply as success; a client that must know reads the change back.
enum class ChangeReply {
    Answered, // a reply with a text, or a status the server gave
    Empty,    // success with an empty body
    None,     // no reply: the connection failed or was cut before one came
};
ChangeReply LastChangeReply();
void NoteChangeReply(ChangeReply reply);
// The kind of reply a POST result text stands for.
ChangeReply PostChangeReply(std::string_view result);

// ---------------------------------------------------------------------------
// The messages of the audit path: caption of resource 100, error icon, no owner.

// 32834: compliance mode is on and an audit component cannot be created.
void ShowAuditComponentsMissing();
// 32835: the server could not pass the change to the audit component.
void ShowAuditSendFailed();

} // namespace zyr
