#include "common/XmlListChildren.h"

#include <cstddef>

namespace zyr::xml {
namespace {

bool IsNameEnd(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}

// The end of the tag that opens at xml[at] ('<'), past its '>', with quoted
// attribute values passed over; npos when it does not end.
size_t TagEnd(std::string_view xml, size_t at)
{
    char quote = '\0';
    for (size_t i = at + 1; i < xml.size(); ++i) {
        const char c = xml[i];
        if (quote != '\0') {
            quote = c == quote ? '\0' : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '<') {
            return std::string_view::npos;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

} // namespace

bool SplitListChildren(std::string_view xml, std::string_view rootTag, std::string_view listTag,
                       ListChildren& split)
{
    split.envelope.clear();
    split.children.clear();
    std::vector<std::string_view> open;
    size_t listDepth = 0; // depth of the list element's children; 0 before it
    bool listDone = false;
    bool rooted = false;
    size_t childStart = 0;
    size_t copied = 0; // the envelope holds xml up to here, children left out
    size_t at = xml.find('<');
    if (xml.substr(at == std::string_view::npos ? 0 : at, 5) == "<?xml") {
        at = xml.find("?>", at);
        at = at == std::string_view::npos ? at : xml.find('<', at + 2);
    }
    for (; at != std::string_view::npos; at = xml.find('<', at)) {
        if (at + 1 >= xml.size() || xml[at + 1] == '!' || xml[at + 1] == '?') {
            return false;
        }
        const size_t end = TagEnd(xml, at);
        if (end == std::string_view::npos) {
            return false;
        }
        if (xml[at + 1] == '/') {
            size_t nameEnd = at + 2;
            while (!IsNameEnd(xml[nameEnd])) {
                ++nameEnd;
            }
            if (open.empty() || open.back() != xml.substr(at + 2, nameEnd - at - 2)) {
                return false;
            }
            open.pop_back();
            if (listDepth != 0 && open.size() == listDepth) {
                split.children.push_back(xml.substr(childStart, end - childStart));
                copied = end;
            } else if (listDepth != 0 && open.size() + 1 == listDepth) {
                listDepth = 0;
                listDone = true;
            }
        } else {
            size_t nameEnd = at + 1;
            while (!IsNameEnd(xml[nameEnd])) {
                ++nameEnd;
            }
            const std::string_view name = xml.substr(at + 1, nameEnd - at - 1);
            const bool empty = xml[end - 2] == '/';
            if (name.empty() || (open.empty() && (name != rootTag || rooted))) {
                return false; // a root of another name, or a second root
            }
            rooted = true;
            if (listDepth != 0 && open.size() == listDepth) {
                split.envelope.append(xml.substr(copied, at - copied));
                childStart = at;
                if (empty) {
                    split.children.push_back(xml.substr(at, end - at));
                    copied = end;
                }
            }
            if (!empty) {
                open.push_back(name);
                if (!listDone && listDepth == 0 && open.size() == 2 && name == listTag) {
                    listDepth = 2;
                }
            }
        }
        at = end;
    }
    if (!open.empty() || !listDone) {
        return false;
    }
    split.envelope.append(xml.substr(copied));
    return true;
}

} // namespace zyr::xml
