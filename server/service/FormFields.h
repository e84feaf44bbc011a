// Query strings and form bodies of the request page: "key=value" pairs joined
// by "&", values "%"-decoded. A "+" stays a "+" (encrypted values use "-" and
// "/" and the console never writes "+" for a space). Keys compare without
// regard to case; the first of repeated keys wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zyr::server {

class FormFields {
public:
    // False when a "%" is not followed by two hexadecimal digits or a value
    // decodes to a zero byte; the fields parsed so far are then dropped.
    bool Parse(std::string_view text);

    std::optional<std::string_view> Find(std::string_view key) const;
    // The value, or an empty text when the key is absent.
    std::string_view Get(std::string_view key) const;
    bool Has(std::string_view key) const { return Find(key).has_value(); }
    size_t size() const { return fields_.size(); }
    const std::vector<std::pair<std::string, std::string>>& Fields() const { return fields_; }
    // Replaces the value of the first field named key, or adds the field.
    void Set(std::string_view key, std::string_view value);

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

// Decodes "%XX" escapes; false on a malformed escape or a decoded zero byte.
bool PercentDecode(std::string_view in, std::string& out);

// A form body as the console sends it: the text may end with zero bytes.
std::string_view TrimTrailingZeros(std::string_view body);

bool EqualsNoCase(std::string_view a, std::string_view b);

} // namespace zyr::server
