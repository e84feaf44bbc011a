// Field values of request URLs: the canonical escaped form of a bare value, as
// the server expects it, and the check that keeps reserved characters out of
// the names and descriptions the operator types.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>
#include <string_view>

// The escaped form of one field value in the active code page. Spaces and the
// bytes that are unsafe in a URL are written as "%" and two upper-case hex
// digits up to the first "?" or "#"; what follows is copied as it is. Every TAB
// and the trailing control bytes and spaces are dropped. "%" is never escaped
// and existing escapes are left alone. A value whose escaped form would not fit
// in 4095 bytes is returned unchanged. The value ends at its first zero byte.
std::string EscapeQueryValue(std::string_view value);

// True when text holds none of % # \ : | + * ' < > ? / and the double quote.
// Otherwise shows the message that lists them (no owner, error icon) and
// returns false.
bool IsValidNameText(std::string_view text);

namespace zyr {

// EscapeQueryValue under a given code page: 1252 keeps the bytes 80-9F that
// the code page defines and escapes the rest of the upper half; any other code
// page (UTF-8 above all) escapes every byte from 80 to FF, so that standard "%"
// decoding gives back the same bytes.
std::string EscapeQueryValue(std::string_view value, UINT codePage);

// The longest escaped value that goes out escaped.
constexpr size_t kMaxEscapedLength = 4095;

// The text of the reserved-character message and its caption.
extern const char* const kReservedCharactersMessage;
extern const char* const kReservedCharactersCaption;

} // namespace zyr
