#include "platform/text/Escape.h"

#include "platform/text/Ascii.h"

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

void AppendXmlEscaped(std::string& out, std::string_view text)
{
    // One pass over the text with a table of the characters that need an
    // entity, copying the runs between them: most texts have none, and a
    // search for a set of characters costs a call per character.
    static constexpr auto kSpecial = [] {
        std::array<bool, 256> table{};
        for (unsigned char c : std::string_view("&<>\"'")) {
            table[c] = true;
        }
        return table;
    }();
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!kSpecial[c]) {
            continue;
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
        default:
            out += "&apos;";
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
