#include "tools/zyrsec/TextTable.h"

#include <algorithm>
#include <cstdio>

namespace zyr::zyrsec {

size_t DisplayWidth(const std::string& text)
{
    return static_cast<size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

namespace {

// Line breaks inside a cell would break the columns; they are shown as blanks.
std::string OneLine(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return text;
}

std::string TrimRight(std::string line)
{
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

} // namespace

TextTable::TextTable(std::vector<std::string> headers, std::string indent)
    : headers_(std::move(headers)), indent_(std::move(indent))
{
}

void TextTable::AddRow(std::vector<std::string> cells)
{
    cells.resize(headers_.size());
    for (auto& cell : cells) {
        cell = OneLine(std::move(cell));
    }
    rows_.push_back(std::move(cells));
}

std::string TextTable::Render() const
{
    std::vector<size_t> widths(headers_.size(), 0);
    for (size_t c = 0; c < headers_.size(); ++c) {
        widths[c] = DisplayWidth(headers_[c]);
        for (const auto& row : rows_) {
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
        }
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out = indent_;
        for (size_t c = 0; c < cells.size(); ++c) {
            out += cells[c];
            if (c + 1 < cells.size()) {
                out.append(widths[c] - DisplayWidth(cells[c]) + 2, ' ');
            }
        }
        return TrimRight(std::move(out)) + "\n";
    };
    std::string out = line(headers_);
    for (const auto& row : rows_) {
        out += line(row);
    }
    return out;
}

std::string RenderFields(const std::vector<std::pair<std::string, std::string>>& fields,
                         const std::string& indent)
{
    size_t width = 0;
    for (const auto& field : fields) {
        width = std::max(width, DisplayWidth(field.first));
    }
    std::string out;
    for (const auto& [label, value] : fields) {
        std::string text = indent + label + ":";
        text.append(width - DisplayWidth(label) + 1, ' ');
        text += OneLine(value);
        out += TrimRight(std::move(text)) + "\n";
    }
    return out;
}

std::string EscapeControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    char escaped[8];
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7f) {
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(text[++i]));
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace zyr::zyrsec
