#include "platform/com/Guid.h"

#include "platform/text/Ascii.h"

#include <uuid/uuid.h>

namespace zyr::com {

namespace {

void PutHex(std::string& out, uint64_t value, int digits, bool upper)
{
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out.push_back(zyr::text::HexDigitChar(static_cast<unsigned>(value >> shift), upper));
    }
}

bool ReadHex(std::string_view text, size_t at, int digits, uint64_t& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int digit = zyr::text::HexDigitValue(text[at + i]);
        if (digit < 0) {
            return false;
        }
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return true;
}

} // namespace

std::string GuidToString(const GUID& guid, GuidCase letterCase)
{
    const bool upper = letterCase == GuidCase::Upper;
    std::string out;
    out.reserve(38);
    out.push_back('{');
    PutHex(out, guid.Data1, 8, upper);
    out.push_back('-');
    PutHex(out, guid.Data2, 4, upper);
    out.push_back('-');
    PutHex(out, guid.Data3, 4, upper);
    out.push_back('-');
    PutHex(out, guid.Data4[0], 2, upper);
    PutHex(out, guid.Data4[1], 2, upper);
    out.push_back('-');
    for (int i = 2; i < 8; ++i) {
        PutHex(out, guid.Data4[i], 2, upper);
    }
    out.push_back('}');
    return out;
}

std::u16string GuidToWide(const GUID& guid, GuidCase letterCase)
{
    std::string narrow = GuidToString(guid, letterCase);
    return {narrow.begin(), narrow.end()};
}

bool GuidFromString(std::string_view text, GUID& guid, bool allowBare)
{
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    } else if (!(allowBare && text.size() == 36)) {
        return false;
    }
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
        return false;
    }
    uint64_t value = 0;
    GUID parsed{};
    if (!ReadHex(text, 0, 8, value)) {
        return false;
    }
    parsed.Data1 = static_cast<DWORD>(value);
    if (!ReadHex(text, 9, 4, value)) {
        return false;
    }
    parsed.Data2 = static_cast<WORD>(value);
    if (!ReadHex(text, 14, 4, value)) {
        return false;
    }
    parsed.Data3 = static_cast<WORD>(value);
    static constexpr size_t kByteAt[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kByteAt[i], 2, value)) {
            return false;
        }
        parsed.Data4[i] = static_cast<BYTE>(value);
    }
    guid = parsed;
    return true;
}

bool GuidFromWide(std::u16string_view text, GUID& guid, bool allowBare)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (char16_t c : text) {
        if (c > 0x7F) {
            return false;
        }
        narrow.push_back(static_cast<char>(c));
    }
    return GuidFromString(narrow, guid, allowBare);
}

GUID NewGuid()
{
    uuid_t raw;
    uuid_generate(raw);
    // The UUID's bytes are in network order; the GUID's first three fields
    // are numbers.
    GUID guid{};
    guid.Data1 = (DWORD(raw[0]) << 24) | (DWORD(raw[1]) << 16) | (DWORD(raw[2]) << 8) | DWORD(raw[3]);
    guid.Data2 = static_cast<WORD>((raw[4] << 8) | raw[5]);
    guid.Data3 = static_cast<WORD>((raw[6] << 8) | raw[7]);
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = raw[8 + i];
    }
    return guid;
}

std::string NewGuidText(GuidCase letterCase)
{
    return GuidToString(NewGuid(), letterCase);
}

} // namespace zyr::com
