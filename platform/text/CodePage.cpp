#include "platform/text/CodePage.h"

#include "platform/registry/RegKey.h"
#include "platform/text/Utf8.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace zyr::text {

namespace {

struct CodePageState {
    bool known = false;
    UINT codePage = CP_UTF8;
};

CodePageState& State()
{
    static CodePageState state;
    return state;
}

// Windows-1252 characters 0x80 to 0x9F; zero marks the five unassigned bytes,
// which map to the C1 control of the same value as the platform does.
constexpr char16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char16_t From1252(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F && k1252High[byte - 0x80] != 0) {
        return k1252High[byte - 0x80];
    }
    return byte;
}

bool To1252(char32_t c, char& out)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        out = static_cast<char>(c);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        char16_t mapped = k1252High[i];
        if ((mapped != 0 && mapped == c) || (mapped == 0 && c == char32_t(0x80 + i))) {
            out = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

// Converts bytes to UTF-16; with replace, what cannot be converted becomes '?'.
bool Decode(std::string_view bytes, std::u16string& out, bool replace)
{
    out.clear();
    out.reserve(bytes.size());
    if (ActiveCodePage() == CP_1252) {
        for (char b : bytes) {
            out.push_back(From1252(static_cast<unsigned char>(b)));
        }
        return true;
    }
    bool clean = true;
    for (size_t at = 0; at < bytes.size();) {
        char32_t c = 0;
        size_t length = DecodeUtf8(bytes, at, c);
        if (length == 0) {
            if (!replace) {
                out.clear();
                return false;
            }
            clean = false;
            out.push_back(u'?');
            ++at;
            continue;
        }
        AppendUtf16(c, out);
        at += length;
    }
    return clean;
}

bool Encode(std::u16string_view wide, std::string& out, bool replace)
{
    out.clear();
    out.reserve(wide.size());
    bool utf8 = ActiveCodePage() != CP_1252;
    bool clean = true;
    for (size_t at = 0; at < wide.size(); ++at) {
        char32_t c = 0;
        at += DecodeUtf16(wide, at, c) - 1;
        const bool valid = !IsSurrogate(c); // a lone surrogate is not
        char narrow = 0;
        if (valid && utf8) {
            AppendUtf8(c, out);
            continue;
        }
        if (valid && To1252(c, narrow)) {
            out.push_back(narrow);
            continue;
        }
        if (!replace) {
            out.clear();
            return false;
        }
        clean = false;
        out.push_back('?');
    }
    return clean;
}

char32_t Fold(char32_t c)
{
    if (c < 0x80) {
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    }
    static locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8Locale == static_cast<locale_t>(nullptr)) {
        return c;
    }
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8Locale));
}

// The characters of a text as code points; bytes that do not decode stand for
// themselves so that any two texts can be compared.
std::u32string CodePoints(std::string_view bytes)
{
    std::u32string out;
    out.reserve(bytes.size());
    bool utf8 = ActiveCodePage() != CP_1252;
    for (size_t at = 0; at < bytes.size();) {
        auto byte = static_cast<unsigned char>(bytes[at]);
        if (!utf8) {
            out.push_back(From1252(byte));
            ++at;
            continue;
        }
        char32_t c = 0;
        size_t length = DecodeUtf8(bytes, at, c);
        if (length == 0) {
            out.push_back(0xDC00 | byte); // kept apart from any valid character
            ++at;
        } else {
            out.push_back(c);
            at += length;
        }
    }
    return out;
}

} // namespace

UINT ActiveCodePage()
{
    CodePageState& state = State();
    if (!state.known) {
        UINT codePage = CP_UTF8;
        registry::RegKey key;
        DWORD value = 0;
        if (key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", KEY_QUERY_VALUE) == ERROR_SUCCESS &&
            registry::ReadDword(key, "CodePage", value) && value == CP_1252) {
            codePage = CP_1252;
        }
        state.codePage = codePage;
        state.known = true;
    }
    return state.codePage;
}

void SetActiveCodePage(UINT codePage)
{
    CodePageState& state = State();
    state.codePage = codePage == CP_1252 ? CP_1252 : CP_UTF8;
    state.known = true;
}

void ResetCodePage()
{
    State() = CodePageState{};
}

bool ToWide(std::string_view bytes, std::u16string& out)
{
    return Decode(bytes, out, false);
}

bool FromWide(std::u16string_view wide, std::string& out)
{
    return Encode(wide, out, false);
}

std::u16string Widen(std::string_view bytes)
{
    std::u16string out;
    Decode(bytes, out, true);
    return out;
}

std::string Narrow(std::u16string_view wide)
{
    std::string out;
    Encode(wide, out, true);
    return out;
}

size_t CharacterBoundary(std::string_view bytes, size_t limit)
{
    if (limit >= bytes.size()) {
        return bytes.size();
    }
    if (ActiveCodePage() == CP_1252) {
        return limit;
    }
    // bytes[limit] begins what is cut off; when it continues a character, that
    // character goes too. More than three continuation bytes are no character.
    size_t at = limit;
    for (int step = 0; step < 3 && at > 0 && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80; ++step) {
        --at;
    }
    if ((static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80) {
        return limit;
    }
    if (at == limit) {
        return limit;
    }
    // bytes[at] leads the character that spans the limit, if it is one.
    char32_t c = 0;
    return DecodeUtf8(bytes, at, c) > limit - at ? at : limit;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() == b.size() && a == b) {
        return true;
    }
    std::u32string left = CodePoints(a);
    std::u32string right = CodePoints(b);
    if (left.size() != right.size()) {
        return false;
    }
    for (size_t i = 0; i < left.size(); ++i) {
        if (Fold(left[i]) != Fold(right[i])) {
            return false;
        }
    }
    return true;
}

std::u32string CaseFoldKey(std::string_view text)
{
    std::u32string key = CodePoints(text);
    for (char32_t& c : key) {
        c = Fold(c);
    }
    return key;
}

} // namespace zyr::text
