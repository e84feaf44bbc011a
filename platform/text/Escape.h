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

// Appends text with & < > " and ' written as entities.
void AppendXmlEscaped(std::string& out, std::string_view text);
std::string XmlEscaped(std::string_view text);

} // namespace zyr::text
