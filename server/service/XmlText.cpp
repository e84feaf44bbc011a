#include "server/service/XmlText.h"

#include "platform/text/Utf8.h"

namespace zyr::server {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

} // namespace

bool IsXmlText(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        size_t length = text::XmlCharLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

bool AppendXmlText(std::string& out, std::string_view text)
{
    bool clean = true;
    size_t run = 0;
    for (size_t i = 0; i < text.size();) {
        size_t length = text::XmlCharLength(text, i);
        if (length > 0) {
            i += length;
            continue;
        }
        out.append(text.data() + run, i - run);
        out += kReplacement;
        clean = false;
        run = ++i;
    }
    out.append(text.data() + run, text.size() - run);
    return clean;
}

std::string ToXmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendXmlText(out, text);
    return out;
}

} // namespace zyr::server
