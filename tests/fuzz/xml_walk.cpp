// Parses arbitrary bytes as a server reply and walks every element the way
// the list readers do: children by position, texts, tags, searches and
// dotted-path look-ups.
#include "common/KvtXml.h"
#include "platform/text/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace zyr::xml;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string xml(reinterpret_cast<const char*>(data), size);
    KvtXmlDocument doc(zyr::text::CP_UTF8);
    if (FAILED(doc.put_XmlString(std::move(xml)))) {
        KvtXmlElement none;
        std::string text;
        doc.FindElement(nullptr, "KVTROLES", none);
        doc.GetValue("ApplName", text);
        return 0;
    }

    KvtXmlElement root;
    if (FAILED(doc.get_documentElement(root))) {
        return 0;
    }
    struct Pending {
        KvtXmlElement element;
        std::string path; // dotted path from the root, for GetValue
    };
    std::vector<Pending> stack{{root, ""}};
    size_t visited = 0;
    while (!stack.empty() && visited < 100000) {
        Pending current = std::move(stack.back());
        stack.pop_back();
        ++visited;

        std::string tag;
        std::string text;
        current.element.get_tagName(tag);
        doc.GetElementText(current.element, text);
        KvtXmlElement found;
        if (visited < 256) { // each search may cover the whole document
            doc.FindElement(nullptr, tag, found);
            doc.FindElement(&current.element, tag, found);
        }
        if (!current.path.empty()) {
            std::string value;
            LONG number = 0;
            doc.GetValue(current.path, value);
            doc.GetLongValue(current.path, &number);
        }

        KvtXmlElementCollection children;
        LONG length = 0;
        if (FAILED(current.element.get_children(children)) || FAILED(children.get_length(&length))) {
            continue;
        }
        KvtXmlElement outside;
        children.item(length, outside);
        for (LONG i = length - 1; i >= 0; --i) {
            KvtXmlElement child;
            if (SUCCEEDED(children.item(i, child))) {
                std::string childTag;
                child.get_tagName(childTag);
                std::string path = current.path.size() < 256
                                       ? (current.path.empty() ? childTag : current.path + "." + childTag)
                                       : std::string();
                stack.push_back({child, std::move(path)});
            }
        }
    }

    std::string saved;
    doc.get_XmlString(saved);
    doc.AddTextElement(nullptr, "Fuzz", "a & <b>");
    return 0;
}
