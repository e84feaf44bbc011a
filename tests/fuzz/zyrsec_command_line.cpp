// Feeds arbitrary argument lists (split at zero bytes) to zyrsec's command
// line, and arbitrary texts to its date reader and JSON quoting.
#include "tools/zyrsec/CommandLine.h"
#include "tools/zyrsec/Json.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments;
    size_t at = 0;
    while (at <= input.size() && arguments.size() < 64) {
        size_t end = input.find('\0', at);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        arguments.emplace_back(input.substr(at, end - at));
        at = end + 1;
    }
    zyr::zyrsec::ParseOutcome parsed = zyr::zyrsec::ParseCommandLine(arguments);
    // A parse either names a command (or asks for help) or says what is wrong.
    if (parsed.ok ? (parsed.invocation.command == nullptr && !parsed.invocation.help)
                  : parsed.error.empty()) {
        __builtin_trap();
    }
    if (auto date = zyr::zyrsec::ParseLogDate(input)) {
        if (!zyr::zyrsec::ParseLogDate(zyr::zyrsec::FormatLogDate(*date))) {
            __builtin_trap();
        }
    }
    const std::string quoted = zyr::zyrsec::JsonQuote(input);
    for (char c : quoted) {
        if (static_cast<unsigned char>(c) < 0x20) {
            __builtin_trap();
        }
    }
    return 0;
}
