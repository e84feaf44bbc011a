// Globally unique identifiers: the 16-byte value, its braced text forms and
// the generation of new ones.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>
#include <string_view>

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;

constexpr bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) {
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) {
            return false;
        }
    }
    return true;
}

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace zyr::com {

enum class GuidCase {
    Upper, // the framework's identities: {5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458}
    Lower, // as the RPC runtime writes a UUID: {5c1b8e40-27d3-4a9f-b6e2-91f0d3c7a458}
};

// The braced text form, 38 characters.
std::string GuidToString(const GUID& guid, GuidCase letterCase = GuidCase::Upper);
std::u16string GuidToWide(const GUID& guid, GuidCase letterCase = GuidCase::Upper);
// Reads the braced form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in either case.
// With allowBare the braces may be left out. False on anything else.
bool GuidFromString(std::string_view text, GUID& guid, bool allowBare = false);
bool GuidFromWide(std::u16string_view text, GUID& guid, bool allowBare = false);

// A new random GUID.
GUID NewGuid();
// "{", the text form of a new GUID, "}": 38 characters.
std::string NewGuidText(GuidCase letterCase);

} // namespace zyr::com
