// A change whose reply never came, or came empty: the wire rules count the
// empty reply as success, and a cut connection leaves the outcome open, so
// zyrsec reads the record back and says which it is.
#pragma once

#include "tools/zyrsec/CommandContext.h"

namespace zyr::zyrsec {

// Forgets the change of an earlier run (before a command runs).
void ForgetLastChange();

// After a changing command that ended with status: when its last change got
// no reply or an empty one, reads the record back and tells "the server gave
// no answer; the change is (not) in the database". The change found as sent
// answers success, otherwise failure (exit 1), a list that cannot be read
// included. Any other run keeps its status.
int ReadBackUnanswered(Context& context, int status);

} // namespace zyr::zyrsec
