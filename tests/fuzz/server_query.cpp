// Fuzzes the readers of the request page: query strings and form bodies, the
// console's dates, and the plain lists decrypted from encrypted fields.
#include "server/service/FormFields.h"
#include "server/service/LogTime.h"
#include "server/storage/PlainLists.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    zyr::server::FormFields fields;
    if (fields.Parse(zyr::server::TrimTrailingZeros(text))) {
        for (const char* key : {"Object", "Operation", "DN", "CN", "ACL", "Date", "FromDate", "DisplaySet"}) {
            (void)fields.Get(key);
        }
        (void)zyr::server::ParseConsoleDate(fields.Get("FromDate"));
        (void)zyr::server::ParseConsoleDateTime(fields.Get("Date"));
    }
    std::vector<zyr::server::AccessItem> items;
    if (zyr::server::ParseAccessList(text, items)) {
        std::string again = zyr::server::RenderAccessList(items);
        std::vector<zyr::server::AccessItem> reread;
        if (!zyr::server::ParseAccessList(again, reread) || reread.size() != items.size()) {
            __builtin_trap(); // a rendered list must read back the same
        }
    }
    (void)zyr::server::ParsePermissionList(text);
    (void)zyr::server::ParseMemberList(text);
    return 0;
}
