#include "tools/zyr-reg/ValueText.h"

#include "platform/registry/RegistryHive.h"
#include "platform/text/Ascii.h"

#include <cinttypes>
#include <cstdio>

namespace zyr::regtool {

namespace {

struct TypeEntry {
    DWORD type;
    const char* name;
};

constexpr TypeEntry kTypes[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {5, "REG_DWORD_BIG_ENDIAN"},
    {6, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {8, "REG_RESOURCE_LIST"},
    {9, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {10, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

bool ParseNumber(std::string_view text, uint64_t max, uint64_t& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || value > (max - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
            return false;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    return true;
}

std::string HexDump(const std::vector<BYTE>& data)
{
    std::string out;
    char buf[4];
    for (BYTE b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

uint64_t LittleEndian(const std::vector<BYTE>& data)
{
    uint64_t value = 0;
    for (size_t i = data.size(); i-- > 0;) {
        value = (value << 8) | data[i];
    }
    return value;
}

} // namespace

std::string TypeName(DWORD type)
{
    for (const auto& entry : kTypes) {
        if (entry.type == type) {
            return entry.name;
        }
    }
    char buf[24];
    std::snprintf(buf, sizeof buf, "REG_0x%" PRIx32, type);
    return buf;
}

bool ParseTypeName(std::string_view name, DWORD& type)
{
    for (DWORD allowed : {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE}) {
        if (zyr::text::EqualsAsciiNoCase(name, TypeName(allowed))) {
            type = allowed;
            return true;
        }
    }
    return false;
}

bool ParseData(DWORD type, std::string_view text, std::string_view separator, std::vector<BYTE>& out)
{
    out.clear();
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        out.assign(text.begin(), text.end());
        out.push_back(0);
        return true;
    case REG_MULTI_SZ: {
        if (separator.empty()) {
            return false;
        }
        size_t pos = 0;
        while (true) {
            size_t next = text.find(separator, pos);
            std::string_view item = text.substr(pos, next == std::string_view::npos ? text.npos : next - pos);
            out.insert(out.end(), item.begin(), item.end());
            out.push_back(0);
            if (next == std::string_view::npos) {
                break;
            }
            pos = next + separator.size();
        }
        if (out.size() == 1 || out[out.size() - 2] != 0) {
            out.push_back(0); // the list ends with an empty text
        }
        return true;
    }
    case REG_DWORD:
    case REG_QWORD: {
        uint64_t value = 0;
        size_t width = type == REG_DWORD ? 4 : 8;
        if (text.empty()) {
            text = "0";
        }
        if (!ParseNumber(text, type == REG_DWORD ? 0xFFFFFFFFull : UINT64_MAX, value)) {
            return false;
        }
        for (size_t i = 0; i < width; ++i) {
            out.push_back(static_cast<BYTE>(value >> (8 * i)));
        }
        return true;
    }
    default: // REG_BINARY, REG_NONE
        if (text.size() % 2 != 0) {
            return false;
        }
        for (size_t i = 0; i < text.size(); i += 2) {
            int high = zyr::text::HexDigitValue(text[i]);
            int low = zyr::text::HexDigitValue(text[i + 1]);
            if (high < 0 || low < 0) {
                return false;
            }
            out.push_back(static_cast<BYTE>(high * 16 + low));
        }
        return true;
    }
}

std::string FormatData(DWORD type, const std::vector<BYTE>& data)
{
    std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    char buf[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return std::string(bytes.substr(0, bytes.find('\0')));
    case REG_MULTI_SZ: {
        std::string out;
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t end = bytes.find('\0', pos);
            std::string_view item = bytes.substr(pos, end == std::string_view::npos ? bytes.npos : end - pos);
            if (item.empty()) {
                break;
            }
            if (!out.empty()) {
                out += "\\0";
            }
            out += item;
            if (end == std::string_view::npos) {
                break;
            }
            pos = end + 1;
        }
        return out;
    }
    case REG_DWORD:
    case REG_QWORD:
        if (data.size() == (type == REG_DWORD ? 4u : 8u)) {
            std::snprintf(buf, sizeof buf, "0x%" PRIx64, LittleEndian(data));
            return buf;
        }
        return HexDump(data);
    default:
        return HexDump(data);
    }
}

} // namespace zyr::regtool
