#include "server/service/FormFields.h"

#include "platform/text/Ascii.h"

namespace zyr::server {

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return zyr::text::EqualsAsciiNoCase(a, b);
}

bool PercentDecode(std::string_view in, std::string& out)
{
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '%') {
            if (i + 2 >= in.size()) {
                return false; // fewer than two characters follow
            }
            int hi = zyr::text::HexDigitValue(in[i + 1]);
            int lo = zyr::text::HexDigitValue(in[i + 2]);
            if (hi < 0 || lo < 0) {
                return false;
            }
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        if (c == '\0') {
            return false;
        }
        out += c;
    }
    return true;
}

std::string_view TrimTrailingZeros(std::string_view body)
{
    while (!body.empty() && body.back() == '\0') {
        body.remove_suffix(1);
    }
    return body;
}

bool FormFields::Parse(std::string_view text)
{
    fields_.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view pair = text.substr(start, end - start);
        if (!pair.empty()) {
            size_t eq = pair.find('=');
            std::string key;
            std::string value;
            std::string_view rawKey = pair.substr(0, eq);
            std::string_view rawValue =
                eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1);
            if (!PercentDecode(rawKey, key) || !PercentDecode(rawValue, value)) {
                fields_.clear();
                return false;
            }
            fields_.emplace_back(std::move(key), std::move(value));
        }
        start = end + 1;
    }
    return true;
}

std::optional<std::string_view> FormFields::Find(std::string_view key) const
{
    for (const auto& [k, v] : fields_) {
        if (EqualsNoCase(k, key)) {
            return std::string_view(v);
        }
    }
    return std::nullopt;
}

void FormFields::Set(std::string_view key, std::string_view value)
{
    for (auto& [k, v] : fields_) {
        if (EqualsNoCase(k, key)) {
            v = value;
            return;
        }
    }
    fields_.emplace_back(key, value);
}

std::string_view FormFields::Get(std::string_view key) const
{
    auto value = Find(key);
    return value ? *value : std::string_view{};
}

} // namespace zyr::server
