#include "platform/text/Utf8.h"

namespace zyr::text {

size_t DecodeUtf8(std::string_view bytes, size_t at, char32_t& c)
{
    auto b0 = static_cast<unsigned char>(bytes[at]);
    size_t length = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        c = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        c = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        c = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (length > bytes.size() - at) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        auto b = static_cast<unsigned char>(bytes[at + i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || IsSurrogate(c)) {
        return 0;
    }
    return length;
}

bool IsUtf8(std::string_view bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        char32_t c = 0;
        size_t length = DecodeUtf8(bytes, at, c);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

size_t XmlCharLength(std::string_view bytes, size_t at)
{
    char32_t c = 0;
    size_t length = DecodeUtf8(bytes, at, c);
    bool allowed = c >= 0x20 ? c != 0xFFFE && c != 0xFFFF : c == '\t' || c == '\n' || c == '\r';
    return allowed ? length : 0;
}

size_t DecodeUtf16(std::u16string_view wide, size_t at, char32_t& c)
{
    c = wide[at];
    if (c >= 0xD800 && c <= 0xDBFF && at + 1 < wide.size() && wide[at + 1] >= 0xDC00 &&
        wide[at + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (wide[at + 1] - 0xDC00);
        return 2;
    }
    return 1;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16(char32_t c, std::u16string& out)
{
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 | (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
    }
}

std::string Utf16ToUtf8(std::u16string_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (size_t at = 0; at < wide.size();) {
        char32_t c = 0;
        at += DecodeUtf16(wide, at, c);
        AppendUtf8(IsSurrogate(c) ? 0xFFFD : c, out);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        char32_t c = 0;
        size_t length = DecodeUtf8(bytes, at, c);
        if (length == 0) {
            out.push_back(u'\uFFFD');
            ++at;
        } else {
            AppendUtf16(c, out);
            at += length;
        }
    }
    return out;
}

} // namespace zyr::text
