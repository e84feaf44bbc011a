#include "platform/registry/RegFile.h"

#include "platform/text/Ascii.h"
#include "platform/text/Utf8.h"

#include <cstdio>

namespace zyr::registry {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr size_t kMaxKeyPart = 255;
constexpr size_t kMaxValueName = 16383;
constexpr size_t kLineWidth = 80;

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

bool ParseHexNumber(std::string_view s, size_t maxDigits, uint32_t& value)
{
    if (s.empty() || s.size() > maxDigits) {
        return false;
    }
    value = 0;
    for (char c : s) {
        int d = zyr::text::HexDigitValue(c);
        if (d < 0) {
            return false;
        }
        value = (value << 4) | static_cast<uint32_t>(d);
    }
    return true;
}

// Reads a quoted text with the \\ and \" escapes, starting at the opening
// quote. pos ends after the closing quote.
bool ParseQuoted(std::string_view s, size_t& pos, std::string& out, std::string& error)
{
    ++pos; // opening quote
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"') {
            return true;
        }
        if (c == '\\') {
            if (pos >= s.size() || (s[pos] != '\\' && s[pos] != '"')) {
                error = "unknown escape sequence in a quoted text (only \\\\ and \\\" are allowed)";
                return false;
            }
            c = s[pos++];
        }
        out += c;
    }
    error = "missing closing quote";
    return false;
}

// Finds where the data of a value line begins (after "name"= or @=); npos
// when the line is not a value line.
size_t DataStart(std::string_view line)
{
    size_t pos = 0;
    if (line.empty()) {
        return std::string_view::npos;
    }
    if (line[0] == '@') {
        pos = 1;
    } else if (line[0] == '"') {
        pos = 1;
        while (pos < line.size() && line[pos] != '"') {
            pos += line[pos] == '\\' ? 2 : 1;
        }
        if (pos >= line.size()) {
            return std::string_view::npos;
        }
        ++pos;
    } else {
        return std::string_view::npos;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) {
        ++pos;
    }
    if (pos >= line.size() || line[pos] != '=') {
        return std::string_view::npos;
    }
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) {
        ++pos;
    }
    return pos;
}

bool ParseHexList(std::string_view s, std::vector<BYTE>& out, std::string& error)
{
    s = Trim(s);
    if (s.empty()) {
        return true;
    }
    size_t pos = 0;
    while (true) {
        size_t comma = s.find(',', pos);
        std::string_view item = Trim(s.substr(pos, comma == std::string_view::npos ? s.npos : comma - pos));
        uint32_t byte = 0;
        if (!ParseHexNumber(item, 2, byte)) {
            if (item.empty() && comma == std::string_view::npos) {
                return true; // a trailing comma
            }
            error = "malformed hex byte \"" + std::string(item) + "\"";
            return false;
        }
        out.push_back(static_cast<BYTE>(byte));
        if (comma == std::string_view::npos) {
            return true;
        }
        pos = comma + 1;
    }
}

bool IsTextType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool ParseValueLine(std::string_view line, size_t dataStart, bool unicode, RegFileEntry& entry,
                    std::string& error)
{
    if (line[0] == '"') {
        size_t pos = 0;
        if (!ParseQuoted(line, pos, entry.name, error)) {
            return false;
        }
    }
    if (!IsValidValueName(entry.name)) {
        error = "value name too long";
        return false;
    }
    std::string_view data = line.substr(dataStart);
    if (data == "-") {
        entry.remove = true;
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        std::string text;
        if (!ParseQuoted(data, pos, text, error)) {
            return false;
        }
        if (!Trim(data.substr(pos)).empty()) {
            error = "unexpected text after the closing quote";
            return false;
        }
        entry.type = REG_SZ;
        entry.data.assign(text.begin(), text.end());
        entry.data.push_back(0);
        return true;
    }
    if (zyr::text::StartsWithAsciiNoCase(data, "dword:")) {
        uint32_t number = 0;
        if (!ParseHexNumber(Trim(data.substr(6)), 8, number)) {
            error = "malformed dword (expected up to 8 hex digits)";
            return false;
        }
        entry.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) {
            entry.data.push_back(static_cast<BYTE>(number >> (8 * i)));
        }
        return true;
    }
    if (zyr::text::StartsWithAsciiNoCase(data, "hex")) {
        size_t pos = 3;
        entry.type = REG_BINARY;
        if (pos < data.size() && data[pos] == '(') {
            size_t close = data.find(')', pos);
            uint32_t type = 0;
            if (close == std::string_view::npos ||
                !ParseHexNumber(data.substr(pos + 1, close - pos - 1), 8, type)) {
                error = "malformed hex(type)";
                return false;
            }
            entry.type = type;
            pos = close + 1;
        }
        if (pos >= data.size() || data[pos] != ':') {
            error = "missing ':' after hex";
            return false;
        }
        std::vector<BYTE> bytes;
        if (!ParseHexList(data.substr(pos + 1), bytes, error)) {
            return false;
        }
        if (unicode && IsTextType(entry.type)) {
            std::string text = Utf16ToBytes(bytes.data(), bytes.size());
            entry.data.assign(text.begin(), text.end());
        } else {
            entry.data = std::move(bytes);
        }
        return true;
    }
    error = "unknown value data (expected \"text\", dword:, hex: or -)";
    return false;
}

std::string DecodeFile(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return Utf16ToBytes(reinterpret_cast<const BYTE*>(bytes.data()) + 2, bytes.size() - 2);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

std::string QuoteText(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

// A REG_SZ that a quoted text in the file gives back exactly.
bool FitsQuotedText(const std::vector<BYTE>& data)
{
    if (data.empty() || data.back() != 0) {
        return false;
    }
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
           zyr::text::IsUtf8(text);
}

void WriteHexValue(std::string& out, std::string line, const std::vector<BYTE>& bytes)
{
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        bool last = i + 1 == bytes.size();
        std::snprintf(buf, sizeof buf, last ? "%02x" : "%02x,", bytes[i]);
        if (line.size() + 3 > kLineWidth - 2 && !last) {
            out += line;
            out += "\\\n";
            line = "  ";
        }
        line += buf;
    }
    out += line;
    out += '\n';
}

void WriteValue(std::string& out, const RegistryValue& value)
{
    std::string line = value.name.empty() ? "@=" : QuoteText(value.name) + "=";
    if (value.type == REG_SZ && FitsQuotedText(value.data)) {
        out += line;
        out += QuoteText(
            std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
        out += '\n';
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                          (static_cast<uint32_t>(value.data[3]) << 24);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", number);
        out += line + buf + "\n";
        return;
    }
    if (value.type == REG_BINARY) {
        line += "hex:";
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", value.type);
        line += buf;
    }
    if (IsTextType(value.type)) {
        std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size());
        WriteHexValue(out, std::move(line), BytesToUtf16(text));
    } else {
        WriteHexValue(out, std::move(line), value.data);
    }
}

void WriteKey(std::string& out, const RegistryKey& key, const std::string& fullName, bool includeEmpty)
{
    if (includeEmpty || !key.Values().empty()) {
        out += "\n[" + fullName + "]\n";
        for (const auto& value : key.Values()) {
            WriteValue(out, value);
        }
    }
    key.ForEachSubKey(
        [&](const RegistryKey& child) { WriteKey(out, child, fullName + "\\" + child.Name(), true); });
}

} // namespace

const char* RootName(HiveId hive)
{
    return hive == HiveId::Machine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

bool IsValidKeyPart(std::string_view part)
{
    return !part.empty() && part.size() <= kMaxKeyPart &&
           part.find_first_of(std::string_view("\\\r\n\0", 4)) == std::string_view::npos;
}

bool IsValidValueName(std::string_view name)
{
    return name.size() <= kMaxValueName &&
           name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool SplitSubKey(std::string_view subKey, KeyParts& out)
{
    out.clear();
    if (!subKey.empty() && subKey.back() == '\\') {
        subKey.remove_suffix(1);
    }
    if (subKey.empty()) {
        return true;
    }
    size_t pos = 0;
    while (true) {
        size_t slash = subKey.find('\\', pos);
        std::string_view part =
            subKey.substr(pos, slash == std::string_view::npos ? subKey.npos : slash - pos);
        if (!IsValidKeyPart(part)) {
            return false;
        }
        out.emplace_back(part);
        if (slash == std::string_view::npos) {
            return true;
        }
        pos = slash + 1;
    }
}

bool ParseKeyName(std::string_view text, KeyPath& out, std::string* error)
{
    size_t slash = text.find('\\');
    std::string_view root = text.substr(0, slash);
    std::string_view rest = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    out = KeyPath{};
    if (zyr::text::EqualsAsciiNoCase(root, "HKLM") ||
        zyr::text::EqualsAsciiNoCase(root, "HKEY_LOCAL_MACHINE")) {
        out.hive = HiveId::Machine;
    } else if (zyr::text::EqualsAsciiNoCase(root, "HKCU") ||
               zyr::text::EqualsAsciiNoCase(root, "HKEY_CURRENT_USER")) {
        out.hive = HiveId::User;
    } else if (zyr::text::EqualsAsciiNoCase(root, "HKCR") ||
               zyr::text::EqualsAsciiNoCase(root, "HKEY_CLASSES_ROOT")) {
        out.hive = HiveId::Machine;
        out.parts = {"Software", "Classes"};
    } else {
        if (error) {
            *error = "unknown root key \"" + std::string(root) + "\"";
        }
        return false;
    }
    KeyParts parts;
    if (!SplitSubKey(rest, parts)) {
        if (error) {
            *error = "invalid key name \"" + std::string(text) + "\"";
        }
        return false;
    }
    out.parts.insert(out.parts.end(), parts.begin(), parts.end());
    return true;
}

std::string FormatKeyName(HiveId hive, const KeyParts& parts)
{
    std::string name = RootName(hive);
    for (const auto& part : parts) {
        name += '\\';
        name += part;
    }
    return name;
}

std::vector<BYTE> BytesToUtf16(std::string_view bytes)
{
    std::vector<BYTE> out;
    out.reserve(bytes.size() * 2);
    auto unit = [&](uint32_t u) {
        out.push_back(static_cast<BYTE>(u & 0xFF));
        out.push_back(static_cast<BYTE>(u >> 8));
    };
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        size_t n = zyr::text::DecodeUtf8(bytes, i, cp);
        if (n == 0) {
            unit(0xDC00 | static_cast<unsigned char>(bytes[i])); // a byte that is not UTF-8
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 | (cp >> 10));
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp);
        }
        i += n;
    }
    return out;
}

std::string Utf16ToBytes(const BYTE* data, size_t size)
{
    std::string out;
    out.reserve(size);
    size_t count = size / 2;
    auto unitAt = [&](size_t k) { return static_cast<uint32_t>(data[2 * k] | (data[2 * k + 1] << 8)); };
    for (size_t k = 0; k < count; ++k) {
        uint32_t u = unitAt(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < count && unitAt(k + 1) >= 0xDC00 &&
            unitAt(k + 1) <= 0xDFFF) {
            zyr::text::AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (unitAt(k + 1) - 0xDC00), out);
            ++k;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u & 0xFF);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            zyr::text::AppendUtf8(0xFFFD, out);
        } else {
            zyr::text::AppendUtf8(u, out);
        }
    }
    if (size % 2 != 0) {
        out += static_cast<char>(data[size - 1]); // an odd trailing byte is kept as it is
    }
    return out;
}

bool ParseRegFile(std::string_view bytes, RegFileDocument& document, RegFileError& error)
{
    document = RegFileDocument{};
    std::string text = DecodeFile(bytes);
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            lines.push_back(std::string_view(text).substr(pos));
            break;
        }
        lines.push_back(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
    }

    bool haveHeader = false;
    bool unicode = true;
    RegFileSection* section = nullptr;
    auto fail = [&](size_t index, std::string message) {
        error.line = static_cast<int>(index + 1);
        error.message = std::move(message);
        document = RegFileDocument{};
        return false;
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        if (line.empty()) {
            continue;
        }
        if (!haveHeader) {
            if (line == kHeader5) {
                unicode = true;
            } else if (line == kHeader4) {
                unicode = false;
            } else {
                return fail(i, "missing header \"" + std::string(kHeader5) + "\"");
            }
            haveHeader = true;
            continue;
        }
        if (line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close == std::string_view::npos || close + 1 != line.size()) {
                return fail(i, "malformed key section (expected [KEY])");
            }
            std::string_view name = line.substr(1, close - 1);
            RegFileSection next;
            next.line = static_cast<int>(i + 1);
            if (!name.empty() && name[0] == '-') {
                next.deleteTree = true;
                name.remove_prefix(1);
            }
            std::string why;
            if (!ParseKeyName(name, next.key, &why)) {
                return fail(i, why);
            }
            document.sections.push_back(std::move(next));
            section = &document.sections.back();
            continue;
        }
        size_t dataStart = DataStart(line);
        if (dataStart == std::string_view::npos) {
            return fail(i, "malformed line (expected [KEY], \"name\"=data, @=data or a ; comment)");
        }
        std::string joined;
        size_t first = i;
        if (zyr::text::StartsWithAsciiNoCase(line.substr(dataStart), "hex")) {
            joined.assign(line);
            while (!joined.empty() && joined.back() == '\\' && i + 1 < lines.size()) {
                joined.pop_back();
                joined += Trim(lines[++i]);
            }
            if (!joined.empty() && joined.back() == '\\') {
                joined.pop_back();
            }
            line = joined;
        }
        if (!section) {
            return fail(first, "value outside of a key section");
        }
        RegFileEntry entry;
        entry.line = static_cast<int>(first + 1);
        std::string why;
        if (!ParseValueLine(line, dataStart, unicode, entry, why)) {
            return fail(first, why);
        }
        if (!section->deleteTree) { // regedit ignores values under a deleted key
            section->entries.push_back(std::move(entry));
        }
    }
    if (!haveHeader && !Trim(text).empty()) {
        return fail(0, "missing header");
    }
    if (!haveHeader) {
        error.line = 0;
        error.message = "empty file (missing header \"" + std::string(kHeader5) + "\")";
        return false;
    }
    return true;
}

void ApplyRegFile(const RegFileDocument& document, HiveId hive, RegistryHive& target)
{
    for (const auto& section : document.sections) {
        if (section.key.hive != hive) {
            continue;
        }
        if (section.deleteTree) {
            target.DeleteTree(section.key.parts);
            continue;
        }
        RegistryKey& key = target.Create(section.key.parts);
        for (const auto& entry : section.entries) {
            if (entry.remove) {
                key.DeleteValue(entry.name);
            } else {
                key.SetValue(entry.name, entry.type, entry.data);
            }
        }
    }
}

std::string WriteRegFile(const RegistryKey& key, const std::string& fullName, bool includeEmptyTop)
{
    std::string out(kHeader5);
    out += '\n';
    WriteKey(out, key, fullName, includeEmptyTop);
    return out;
}

} // namespace zyr::registry
