// The GET carrier: one long-lived HTTP session that carries the console's
// queries and simple changes, and judges each reply itself.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>

// Sends a GET for url and appends the reply to reply (callers pass it empty).
// True when the reply is usable. A reply that holds an error, an HTTP status of
// 400 or above, or an ASP error page is false and, with reportFailures, traced.
// A transport failure (no session, unreachable server, time-out) is false and
// not traced.
bool GetWebPage(const std::string& url, std::string& reply, bool reportFailures);

namespace zyr::web {

// How a GET reply was judged.
enum class ReplyVerdict {
    Document,     // held "</DOCUMENT>": cut right after the first one
    ErrorText,    // held "error" or "Error"
    AspErrorPage, // an HTML page: replaced by "<html>Error in ASP</html>"
    Plain,        // anything else, the empty reply included
};
// Applies the reply rules in order; may cut or replace reply.
ReplyVerdict JudgeReply(std::string& reply);

// The receive time-out applied to the last GET, in milliseconds, or -1 when
// none was configured (the built-in idle limit applied then).
LONG AppliedReceiveTimeoutMs();
// The HTTP status of the last GET's reply (401: the server wants an account,
// 429: too many failed attempts), or 0 when none arrived.
long LastHttpStatus();
// Whether the session is open (it opens on the first call that passes the
// optional reachability probe).
bool WebSessionOpen();
// Closes the session and forgets it, as a new process would (tests).
void ResetWebSession();

} // namespace zyr::web
