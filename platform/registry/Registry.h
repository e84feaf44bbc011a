// The registry store: hives of typed, case-insensitive keys kept as regedit
// export files. The calls keep the shape and the error codes of the Win32
// registry functions, so configuration readers read as they always have.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>

struct RegistryKeyHandle;
using HKEY = RegistryKeyHandle*;

// Predefined keys. HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes.
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyExA dispositions.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Each call answers ERROR_SUCCESS or a Win32 error code: ERROR_FILE_NOT_FOUND
// for a missing key or value, ERROR_MORE_DATA when a buffer is too small (the
// size argument then holds the size needed), ERROR_ACCESS_DENIED for a write
// through a key opened for query only, ERROR_BADDB when the hive file is
// malformed (the file is then never rewritten).
// The enumeration calls take and give name sizes in characters: on success
// the length without the terminator, on ERROR_MORE_DATA the size needed with
// it. Keys are enumerated in the order of their names (ignoring case), values
// in the order they were first set. lastWriteTime is not filled in.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     REGSAM access, void* securityAttributes, HKEY* result, DWORD* disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY key, const char* valueName);
LONG RegDeleteKeyA(HKEY key, const char* subKey);
LONG RegDeleteTreeA(HKEY key, const char* subKey);
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* keyClass,
                   DWORD* classSize, void* lastWriteTime);
LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* dataSize);

namespace zyr::registry {

// Typed reads with the rules that configuration relies on: a number counts
// only as REG_DWORD; a text only as REG_SZ or REG_EXPAND_SZ ending with its
// terminator, or REG_MULTI_SZ ending with two. Anything else reads as absent.
bool ReadDword(HKEY key, const char* valueName, DWORD& value);
// Fills buffer (capacity bytes, terminator included). False when absent, of
// another type, or larger than the buffer.
bool ReadText(HKEY key, const char* valueName, char* buffer, DWORD capacity);

// Where the hive files live. By default HKLM (and HKCR) in /etc/zyr/registry
// and HKCU in $XDG_CONFIG_HOME/zyr (~/.config/zyr); ZYR_REGISTRY_DIR, when set,
// relocates both. Tests and programs may install other folders; Reset returns
// to the defaults and drops every cached hive. The hive files are
// <machineDir>/machine.reg and <userDir>/user.reg, each with a lock file
// beside it (machine.reg.lock, user.reg.lock); see RegistryStore.h.
struct Location {
    std::string machineDir; // holds the HKLM hive file
    std::string userDir;    // holds the HKCU hive file
};
Location DefaultLocation();
void SetLocation(const Location& location);
const Location& CurrentLocation();
void ResetLocation();

} // namespace zyr::registry
