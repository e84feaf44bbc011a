// Code-page conversions and fixed-field cuts over arbitrary bytes: what
// converts must convert back to the same bytes, and a cut never splits a
// character or overruns its field.
#include "platform/text/BoundedText.h"
#include "platform/text/CodePage.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    using namespace zyr::text;
    SetActiveCodePage((data[0] & 1) != 0 ? CP_1252 : CP_UTF8);
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    std::u16string wide;
    if (ToWide(bytes, wide)) {
        std::string back;
        if (!FromWide(wide, back) || back != bytes) {
            std::abort();
        }
    }
    std::string narrow = Narrow(Widen(bytes));
    if (narrow.size() > bytes.size() * 4) {
        std::abort();
    }

    BoundedText<16> field(bytes);
    if (field.size() > field.capacity() || field.c_str()[field.size()] != '\0') {
        std::abort();
    }
    // A cut prefix of a valid text is itself valid.
    if (ToWide(bytes, wide) && !ToWide(field.view(), wide)) {
        std::abort();
    }
    if (!EqualsNoCase(bytes, bytes)) {
        std::abort();
    }
    return 0;
}
