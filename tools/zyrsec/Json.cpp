#include "tools/zyrsec/Json.h"

#include "platform/text/Utf8.h"

#include <cstdio>

namespace zyr::zyrsec {

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
        char32_t decoded = 0;
        const size_t length = zyr::text::DecodeUtf8(text, at, decoded);
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
