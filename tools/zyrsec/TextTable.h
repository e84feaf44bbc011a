// Aligned plain-text output: a table whose columns are as wide as their
// widest cell (counted in characters, not bytes), two spaces apart, and the
// "label: value" lines of one record.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zyr::zyrsec {

class TextTable {
public:
    explicit TextTable(std::vector<std::string> headers, std::string indent = {});
    void AddRow(std::vector<std::string> cells);
    bool empty() const { return rows_.empty(); }
    // The header line, then one line per row; the last column is not padded
    // and no line ends with blanks.
    std::string Render() const;

private:
    std::vector<std::string> headers_;
    std::string indent_;
    std::vector<std::vector<std::string>> rows_;
};

// "label: value" lines with the values aligned after the longest label.
std::string RenderFields(const std::vector<std::pair<std::string, std::string>>& fields,
                         const std::string& indent = {});

// The text with every control character but line feed and tab written as
// "\xNN" (C1 controls in UTF-8 as "\u00NN"), so that text from the server
// never moves the cursor or erases lines of the terminal it is shown on.
std::string EscapeControls(std::string_view text);

// Characters of a UTF-8 text (continuation bytes not counted).
size_t DisplayWidth(const std::string& text);

} // namespace zyr::zyrsec
