// Feeds arbitrary bytes to the parts of the carriers that read what the
// network or the configuration hands them: the host of a URL and the GET
// reply rules.
#include "web/HostProbe.h"
#include "web/WebPage.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);

    size_t capacity = size == 0 ? 1 : data[0] % 64 + 1;
    char host[64];
    if (GetUrlHost(input, host, capacity)) {
        size_t length = std::strlen(host);
        if (length >= capacity || input.find(std::string_view(host, length)) == std::string_view::npos) {
            __builtin_trap();
        }
    }

    std::string reply(input);
    zyr::web::ReplyVerdict verdict = zyr::web::JudgeReply(reply);
    if (verdict == zyr::web::ReplyVerdict::Document &&
        (!reply.ends_with("</DOCUMENT>") || !input.starts_with(reply))) {
        __builtin_trap();
    }
    if (verdict == zyr::web::ReplyVerdict::Plain && reply != input) {
        __builtin_trap();
    }
    return 0;
}
