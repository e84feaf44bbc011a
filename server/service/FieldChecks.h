// What the security service's operations share in checking the fields of a
// request and reading the store: the longest texts the console's fields
// hold, control characters, whole numbers, and reads and kept texts that
// leave a line in the server log when they fail or change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zyr::server::checks {

// Longest texts the console's fixed fields hold.
inline constexpr size_t kMaxText = 255;
inline constexpr size_t kMaxLogField = 15;
// The longest event message the audit trail keeps.
inline constexpr size_t kMaxMessage = 4096;

// True when the text holds a control character (TAB, CR and LF allowed when
// allowLineBreaks).
bool HasControl(std::string_view text, bool allowLineBreaks);
// A read the store could not make (a database gone, a disk that fails): the
// caller answers "Error: ..." and the log says so, at most once a second.
bool Read(bool ok, std::string_view what);
// An event's text as it is kept: a byte no list may show becomes U+FFFD and
// the server log says so, since the sender cannot sensibly try again.
std::string Kept(std::string_view what, std::string_view text);
// The whole text as a decimal number.
bool ParseInt64(std::string_view text, int64_t& value);

} // namespace zyr::server::checks
