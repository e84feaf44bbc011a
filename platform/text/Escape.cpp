#include "platform/text/Escape.h"

#include "platform/text/Ascii.h"
#include "platform/text/Utf8.h"

#include <array>

namespace zyr::text {

void AppendFormField(std::string& body, std::string_view key, std::string_view value)
{
    if (!body.empty()) {
        body += '&';
    }
    body += key;
    body += '=';
    for (unsigned char c : value) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.' || c == '~';
        if (plain) {
            body += static_cast<char>(c);
        } else {
            body += '%';
            AppendHexByte(body, c);
        }
    }
}

void AppendXmlEscaped(std::string& out, std::string_view text, XmlBadBytes bad)
{
    // One pass over the text with a table of the characters that need a look,
    // copying the runs between them: most texts have none, and a search for a
    // set of characters costs a call per character. When bad bytes are
    // replaced, bytes above 7F and controls are looked at too.
    static constexpr auto kTables = [] {
        std::array<std::array<bool, 256>, 2> tables{};
        for (unsigned char c : std::string_view("&<>\"'")) {
            tables[0][c] = tables[1][c] = true;
        }
        for (int c = 0; c < 256; ++c) {
            tables[1][c] = tables[1][c] || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c >= 0x80;
        }
        return tables;
    }();
    const auto& special = kTables[bad == XmlBadBytes::Replace ? 1 : 0];
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!special[c]) {
            continue;
        }
        if (c >= 0x80 || c < 0x20) {
            size_t length = XmlCharLength(text, i);
            if (length > 0) {
                i += length - 1;
                continue;
            }
        }
        out.append(text.data() + run, i - run);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += "\xEF\xBF\xBD";
            break;
        }
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
}

std::string XmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendXmlEscaped(out, text);
    return out;
}

} // namespace zyr::text
