#include "server/service/FieldChecks.h"

#include "server/service/ServerLog.h"
#include "server/service/XmlText.h"

#include <charconv>

namespace zyr::server::checks {

bool HasControl(std::string_view text, bool allowLineBreaks)
{
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (allowLineBreaks && (c == '\t' || c == '\r' || c == '\n')) {
            continue;
        }
        if (u < 0x20 || u == 0x7f) {
            return true;
        }
    }
    return false;
}

bool Read(bool ok, std::string_view what)
{
    static RepeatedWarning readFailures;
    if (!ok) {
        readFailures.Log("the security database could not be read: " + std::string(what));
    }
    return ok;
}

std::string Kept(std::string_view what, std::string_view text)
{
    std::string kept;
    if (!AppendXmlText(kept, text)) {
        LogWarning("the " + std::string(what) +
                   " held bytes that are not UTF-8 text or characters XML does "
                   "not allow; they are kept as U+FFFD");
    }
    return kept;
}

bool ParseInt64(std::string_view text, int64_t& value)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace zyr::server::checks
