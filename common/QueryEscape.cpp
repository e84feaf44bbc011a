#include "common/QueryEscape.h"

#include "platform/text/Ascii.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"

#include <array>

namespace zyr {

const char* const kReservedCharactersMessage =
    "The name or description cannot contain any of the following characters:\n"
    "                          % # \\ : | + * ' > < ? / \" ";
const char* const kReservedCharactersCaption = "ZYR Security Manager";

namespace {

enum class ByteRule : unsigned char { Keep, Escape };

// The rules of the lower half and of the code page 1252 upper half.
constexpr std::array<ByteRule, 256> MakeRules(bool escapeWholeUpperHalf)
{
    std::array<ByteRule, 256> rules{};
    for (int b = 0; b < 256; ++b) {
        rules[b] = ByteRule::Keep;
    }
    for (int b = 0x01; b <= 0x1F; ++b) {
        rules[b] = ByteRule::Escape;
    }
    // Line breaks stay as they are; TAB never reaches the table.
    rules[0x0A] = ByteRule::Keep;
    rules[0x0D] = ByteRule::Keep;
    for (unsigned char c : std::string_view(" \"&<>[\\]^`{|}\x7F")) {
        rules[c] = ByteRule::Escape;
    }
    if (escapeWholeUpperHalf) {
        for (int b = 0x80; b <= 0xFF; ++b) {
            rules[b] = ByteRule::Escape;
        }
    } else {
        for (int b = 0xA0; b <= 0xFF; ++b) {
            rules[b] = ByteRule::Escape;
        }
        // The bytes that code page 1252 leaves undefined.
        for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
            rules[b] = ByteRule::Escape;
        }
    }
    return rules;
}

constexpr std::array<ByteRule, 256> kRules1252 = MakeRules(false);
constexpr std::array<ByteRule, 256> kRulesUtf8 = MakeRules(true);

} // namespace

std::string EscapeQueryValue(std::string_view value, UINT codePage)
{
    // The value is a C text: it ends at its first zero byte.
    if (size_t nul = value.find('\0'); nul != std::string_view::npos) {
        value = value.substr(0, nul);
    }
    const auto& rules = codePage == text::CP_1252 ? kRules1252 : kRulesUtf8;

    std::string cleaned;
    cleaned.reserve(value.size());
    for (char c : value) {
        if (c != '\t') {
            cleaned.push_back(c);
        }
    }
    while (!cleaned.empty() && static_cast<unsigned char>(cleaned.back()) <= 0x20) {
        cleaned.pop_back();
    }

    const size_t tail = cleaned.find_first_of("?#");
    const size_t head = tail == std::string::npos ? cleaned.size() : tail;

    std::string out;
    out.reserve(cleaned.size() + 16);
    for (size_t i = 0; i < head; ++i) {
        const auto b = static_cast<unsigned char>(cleaned[i]);
        if (rules[b] == ByteRule::Escape) {
            out.push_back('%');
            text::AppendHexByte(out, b);
        } else {
            out.push_back(static_cast<char>(b));
        }
        if (out.size() > kMaxEscapedLength) {
            return std::string(value);
        }
    }
    out.append(cleaned, head, std::string::npos);
    if (out.size() > kMaxEscapedLength) {
        return std::string(value);
    }
    return out;
}

} // namespace zyr

std::string EscapeQueryValue(std::string_view value)
{
    return zyr::EscapeQueryValue(value, zyr::text::ActiveCodePage());
}

bool IsValidNameText(std::string_view text)
{
    // Every reserved character is a single byte that no multibyte character of
    // the supported code pages contains, so a byte search is exact.
    static constexpr std::string_view kReserved = "%#\\:|+*'<>?/\"";
    if (text.find_first_of(kReserved) == std::string_view::npos) {
        return true;
    }
    zyr::ui::Ui().MessageBox(nullptr, zyr::kReservedCharactersMessage, zyr::kReservedCharactersCaption,
                             zyr::ui::MB_ICONERROR | zyr::ui::MB_OK);
    return false;
}
