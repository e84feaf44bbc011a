// The text format of the hive files and of import and export files: what
// regedit exports ("Windows Registry Editor Version 5.00", [KEY] sections,
// "name"="text", @=, dword:, hex(N): lists, [-KEY] and "name"=- deletions).
// Files are read as UTF-8 (with or without a byte order mark) or UTF-16LE
// with a byte order mark, and written as UTF-8. Texts inside the store are
// bytes; hex(1), hex(2) and hex(7) data is UTF-16LE in the file and is
// converted both ways. Bytes that are not UTF-8 travel as the lone surrogates
// U+DC80..U+DCFF, so that every value survives the trip through the file.
#pragma once

#include "platform/registry/RegistryHive.h"

#include <string>
#include <string_view>
#include <vector>

namespace zyr::registry {

enum class HiveId { Machine, User };

struct KeyPath {
    HiveId hive = HiveId::Machine;
    KeyParts parts; // HKEY_CLASSES_ROOT keys start with Software\Classes
};

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
const char* RootName(HiveId hive);
// Accepts the roots HKLM, HKCU, HKCR and their long forms, any letter case.
// A trailing backslash is ignored; an empty or over-long component is refused.
bool ParseKeyName(std::string_view text, KeyPath& out, std::string* error = nullptr);
std::string FormatKeyName(HiveId hive, const KeyParts& parts);
// A key name component: 1 to 255 bytes, no backslash, no line break, no NUL.
bool IsValidKeyPart(std::string_view part);
// A value name: at most 16383 bytes, no line break.
bool IsValidValueName(std::string_view name);
// Splits a sub-key argument of the registry calls ("A\B\C"); false when a
// component is empty or invalid. A trailing backslash is ignored.
bool SplitSubKey(std::string_view subKey, KeyParts& out);

struct RegFileEntry {
    int line = 0;
    std::string name;
    bool remove = false; // "name"=-
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegFileSection {
    int line = 0;
    KeyPath key;
    bool deleteTree = false; // [-KEY]
    std::vector<RegFileEntry> entries;
};

struct RegFileDocument {
    std::vector<RegFileSection> sections;
};

struct RegFileError {
    int line = 0; // 1-based; 0 when the whole file is at fault
    std::string message;
};

bool ParseRegFile(std::string_view bytes, RegFileDocument& document, RegFileError& error);
// Applies the sections that belong to the hive, in file order.
void ApplyRegFile(const RegFileDocument& document, HiveId hive, RegistryHive& target);
// Whole file: the header, then the key (named fullName) and every key below it.
// includeEmptyTop writes the top section even when it holds no values.
std::string WriteRegFile(const RegistryKey& key, const std::string& fullName, bool includeEmptyTop = true);

// Conversions between the store's bytes and UTF-16LE data.
std::vector<BYTE> BytesToUtf16(std::string_view bytes);
std::string Utf16ToBytes(const BYTE* data, size_t size);

} // namespace zyr::registry
