// Weak stand-ins for the code page, string table and identity calls, so that
// this program links before those services are built; the real definitions
// take precedence wherever they are linked in.
#include "platform/text/CodePage.h"
#include "security/common/ServerSettings.h"
#include "security/common/StringTable.h"

#define ZYR_WEAK __attribute__((weak))

namespace zyr::text {

namespace {
UINT g_codePage = CP_UTF8;
// Code page 1252 at 80-9F; 0 where it defines nothing.
constexpr char16_t kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

ZYR_WEAK UINT ActiveCodePage()
{
    return g_codePage;
}
ZYR_WEAK void SetActiveCodePage(UINT codePage)
{
    g_codePage = codePage;
}
ZYR_WEAK void ResetCodePage()
{
    g_codePage = CP_UTF8;
}
ZYR_WEAK std::u16string Widen(std::string_view bytes)
{
    std::u16string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const char16_t w = b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : b;
        out.push_back(w ? w : u'?');
    }
    return out;
}
ZYR_WEAK std::string Narrow(std::u16string_view wide)
{
    std::string out;
    for (char16_t w : wide) {
        char c = '?';
        if (w < 0x80 || (w >= 0xA0 && w <= 0xFF)) {
            c = static_cast<char>(w);
        } else {
            for (int i = 0; i < 32; ++i) {
                if (kHigh1252[i] == w) {
                    c = static_cast<char>(0x80 + i);
                }
            }
        }
        out.push_back(c);
    }
    return out;
}

} // namespace zyr::text

namespace zyr {
ZYR_WEAK std::string LoadStringAnsi(UINT id)
{
    switch (id) {
    case IDS_PROJNAME:
        return "ZYR Security Manager";
    case IDS_AUDIT_COMPONENTS_MISSING:
        return "An error occurred when attempting to update the Security Database.\nThe compliance-enabling "
               "features have been activated and one of the required components is missing or non "
               "functional.\n\nMore details:\nCould not create one of the Alarm and Events components.\n";
    case IDS_AUDIT_SEND_FAILED:
        return "An error occurred when attempting to update the Security Database.\nThe compliance-enabling "
               "features have been activated and one of the required components is missing or non "
               "functional.\n\nMore details:\nThe Send function on the Alarm and Event component failed.\n";
    default:
        return "";
    }
}
} // namespace zyr

ZYR_WEAK void GetFullUserName(std::string& fullName)
{
    fullName = "STANDIN\\operator";
}

ZYR_WEAK std::string GetLocalComputerName()
{
    return "STANDIN-HOST";
}
