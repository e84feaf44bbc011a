// Text that every list reply can carry: UTF-8 without the characters XML 1.0
// forbids (controls other than TAB, LF and CR; U+FFFE and U+FFFF). Text that
// is stored must be such text, or the pages that show it stop being XML.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zyr::server {

bool IsXmlText(std::string_view text);

// The text with each byte that does not start an allowed character replaced
// by U+FFFD.
std::string ToXmlText(std::string_view text);

// Appends text with each byte that does not start an allowed character
// replaced by U+FFFD; false when any was.
bool AppendXmlText(std::string& out, std::string_view text);

} // namespace zyr::server
