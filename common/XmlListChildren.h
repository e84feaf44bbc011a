// A list reply read one record at a time. Parsing a list of tens of megabytes
// into one tree costs several times the text; splitting the text at the
// children of its list element lets each child be parsed on its own, the
// rest of the document (its envelope) apart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyr::xml {

struct ListChildren {
    std::string envelope;                   // the text without the children
    std::vector<std::string_view> children; // each child element's text, in order
};

// Splits xml whose root element is rootTag at the children of the root's
// first child element named listTag. False when the text is not plainly such
// a document: no comments, CDATA sections, document types or processing
// instructions beyond a leading declaration, tags that match and close; the
// caller then parses the whole text. A text split here is well-formed when
// its envelope and each child are.
bool SplitListChildren(std::string_view xml, std::string_view rootTag, std::string_view listTag,
                       ListChildren& split);

} // namespace zyr::xml
