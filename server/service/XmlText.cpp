#include "server/service/XmlText.h"

namespace zyr::server {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool Continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

} // namespace

size_t AllowedCharLength(std::string_view text)
{
    if (text.empty()) {
        return 0;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    unsigned char c = p[0];
    if (c < 0x80) {
        return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' ? 1 : 0;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        return n >= 2 && Continuation(p[1]) ? 2 : 0;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (n < 3 || !Continuation(p[1]) || !Continuation(p[2])) {
            return 0;
        }
        char32_t cp = (char32_t(c & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | char32_t(p[2] & 0x3F);
        bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
        return cp < 0x800 || surrogate || cp == 0xFFFE || cp == 0xFFFF ? 0 : 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (n < 4 || !Continuation(p[1]) || !Continuation(p[2]) || !Continuation(p[3])) {
            return 0;
        }
        char32_t cp = (char32_t(c & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                      (char32_t(p[2] & 0x3F) << 6) | char32_t(p[3] & 0x3F);
        return cp < 0x10000 || cp > 0x10FFFF ? 0 : 4;
    }
    return 0;
}

bool IsXmlText(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        size_t length = AllowedCharLength(text.substr(i));
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

bool AppendXmlText(std::string& out, std::string_view text)
{
    bool clean = true;
    size_t run = 0;
    for (size_t i = 0; i < text.size();) {
        size_t length = AllowedCharLength(text.substr(i));
        if (length > 0) {
            i += length;
            continue;
        }
        out.append(text.data() + run, i - run);
        out += kReplacement;
        clean = false;
        run = ++i;
    }
    out.append(text.data() + run, text.size() - run);
    return clean;
}

std::string ToXmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendXmlText(out, text);
    return out;
}

} // namespace zyr::server
