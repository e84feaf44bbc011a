#include "tools/zyrsec/Json.h"

#include <cstdio>

namespace zyr::zyrsec {

namespace {

// Length of the valid UTF-8 sequence at text[at], or 0.
size_t Utf8Length(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    uint32_t least = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, least = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, least = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, least = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

} // namespace

std::string JsonQuote(std::string_view text)
{
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        switch (c) {
        case '"':
            out += "\\\"";
            ++at;
            continue;
        case '\\':
            out += "\\\\";
            ++at;
            continue;
        case '\n':
            out += "\\n";
            ++at;
            continue;
        case '\r':
            out += "\\r";
            ++at;
            continue;
        case '\t':
            out += "\\t";
            ++at;
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++at;
            continue;
        }
        const size_t length = Utf8Length(text, at);
        if (length == 0) {
            out += "\\ufffd";
            ++at;
            continue;
        }
        out.append(text.substr(at, length));
        at += length;
    }
    out += '"';
    return out;
}

Json& Json::Push(Json value)
{
    items_.push_back(std::move(value));
    return items_.back();
}

Json& Json::Set(std::string_view key, Json value)
{
    for (auto& member : members_) {
        if (member.first == key) {
            member.second = std::move(value);
            return member.second;
        }
    }
    members_.emplace_back(std::string(key), std::move(value));
    return members_.back().second;
}

const Json* Json::Find(std::string_view key) const
{
    for (const auto& member : members_) {
        if (member.first == key) {
            return &member.second;
        }
    }
    return nullptr;
}

std::string Json::Dump() const
{
    std::string out;
    Write(out);
    return out;
}

void Json::Write(std::string& out) const
{
    switch (kind_) {
    case Kind::Null:
        out += "null";
        break;
    case Kind::Bool:
        out += bool_ ? "true" : "false";
        break;
    case Kind::Number:
        out += std::to_string(number_);
        break;
    case Kind::String:
        out += JsonQuote(string_);
        break;
    case Kind::Array: {
        out += '[';
        bool first = true;
        for (const auto& item : items_) {
            if (!first) {
                out += ',';
            }
            first = false;
            item.Write(out);
        }
        out += ']';
        break;
    }
    case Kind::Object: {
        out += '{';
        bool first = true;
        for (const auto& [key, value] : members_) {
            if (!first) {
                out += ',';
            }
            first = false;
            out += JsonQuote(key);
            out += ':';
            value.Write(out);
        }
        out += '}';
        break;
    }
    }
}

} // namespace zyr::zyrsec
