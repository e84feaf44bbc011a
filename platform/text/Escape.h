// The two escaped forms that texts take on their way out: "%"-encoded fields
// of a form body and XML character data or attribute values.
#pragma once

#include <string>
#include <string_view>

namespace zyr::text {

// Appends "key=value" to a form body, after a "&" unless the body is empty.
// The value keeps A-Z, a-z, 0-9 and "-_.~"; every other byte is written as
// "%" and two upper-case hexadecimal digits. The key is written as it is.
void AppendFormField(std::string& body, std::string_view key, std::string_view value);

// What becomes of bytes that XML may not hold (see XmlCharLength): kept as
// they are, for text already known to be clean, or each written as U+FFFD,
// so that a document made of text of unknown origin stays well-formed.
enum class XmlBadBytes { Keep, Replace };

// Appends text with & < > " and ' written as entities.
void AppendXmlEscaped(std::string& out, std::string_view text, XmlBadBytes bad = XmlBadBytes::Keep);
std::string XmlEscaped(std::string_view text);

} // namespace zyr::text
