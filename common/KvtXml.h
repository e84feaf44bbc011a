// The XML document component: the calls that read the server's list replies
// and write and read the application export file.
//
// Texts going in and coming out are bytes in the document's code page (the
// active code page when the document is made: UTF-8 unless configured), the
// same bytes the records hold. Inside, the document keeps UTF-8.
//
// Every call answers an HRESULT; a negative one is failure (no document, a
// parse error, a missing element, an index out of range). Nothing throws.
//
// Elements and collections are small handles that keep the tree they point
// into alive: one stays valid after its document is parsed again or destroyed.
#pragma once

#include "platform/com/WinTypes.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
struct xml_node_struct;
}

namespace zyr::xml {

// Results of the component besides the common ones.
constexpr HRESULT KVTXML_E_PARSE = static_cast<HRESULT>(0x8004C001);       // not well-formed XML
constexpr HRESULT KVTXML_E_NOT_FOUND = static_cast<HRESULT>(0x8004C002);   // no such element
constexpr HRESULT KVTXML_E_NO_DOCUMENT = static_cast<HRESULT>(0x8004C003); // nothing loaded yet
constexpr HRESULT KVTXML_E_NOT_NUMBER = static_cast<HRESULT>(0x8004C004);  // text is not a decimal integer
constexpr HRESULT KVTXML_E_FILE = static_cast<HRESULT>(0x8004C005);        // file cannot be read or written

struct DocumentTree; // the parsed document and its code page

class KvtXmlElementCollection;

// One element of a document. A default-made handle refers to nothing.
class KvtXmlElement {
public:
    KvtXmlElement() = default;

    bool IsValid() const { return node_ != nullptr; }

    // The child elements in document order (text and comments are not children).
    HRESULT get_children(KvtXmlElementCollection& children) const;
    HRESULT get_tagName(std::string& tagName) const;
    // The text between the tags, without markup (all text inside, in order).
    HRESULT get_text(std::string& text) const;

private:
    friend class KvtXmlDocument;
    friend class KvtXmlElementCollection;
    KvtXmlElement(std::shared_ptr<const DocumentTree> tree, pugi::xml_node_struct* node)
        : tree_(std::move(tree)), node_(node)
    {
    }

    std::shared_ptr<const DocumentTree> tree_;
    pugi::xml_node_struct* node_ = nullptr;
};

// The child elements of one element, gathered once: item(i) is constant time.
class KvtXmlElementCollection {
public:
    KvtXmlElementCollection() = default;

    HRESULT get_length(LONG* length) const;
    // The i-th child element, zero-based; E_INVALIDARG out of range.
    HRESULT item(LONG index, KvtXmlElement& element) const;

    size_t size() const { return nodes_.size(); }

private:
    friend class KvtXmlElement;

    std::shared_ptr<const DocumentTree> tree_;
    std::vector<pugi::xml_node_struct*> nodes_;
};

class KvtXmlDocument {
public:
    explicit KvtXmlDocument(UINT codePage);
    ~KvtXmlDocument();
    KvtXmlDocument(const KvtXmlDocument&) = delete;
    KvtXmlDocument& operator=(const KvtXmlDocument&) = delete;

    // Parses the document from its text in the document's code page. The
    // rvalue form parses in place, without copying the text. A text that does
    // not parse leaves the document empty.
    HRESULT put_XmlString(std::string_view xml);
    HRESULT put_XmlString(std::string&& xml);
    HRESULT put_XmlString(const char* xml) { return xml ? put_XmlString(std::string_view(xml)) : E_POINTER; }
    // The document as UTF-8 XML text.
    HRESULT get_XmlString(std::string& xml) const;

    // Removes element, with everything under it, from the document and gives
    // their memory back; element is emptied. For walks through a large
    // document that are done with one part of it: no other handle to that
    // part may be used afterwards.
    HRESULT RemoveElement(KvtXmlElement& element);

    // The first element in document order under parent (null: the whole
    // document) whose tag is tagName (exact comparison).
    HRESULT FindElement(const KvtXmlElement* parent, std::string_view tagName, KvtXmlElement& element) const;
    HRESULT GetElementText(const KvtXmlElement& element, std::string& text) const;
    HRESULT get_documentElement(KvtXmlElement& element) const;

    // Appends a new empty element as the last child of parent (null: the root
    // element, "DOCUMENT", made on first use).
    HRESULT AddElement(const KvtXmlElement* parent, std::string_view tagName, KvtXmlElement& element);
    // The same, holding text.
    HRESULT AddTextElement(const KvtXmlElement* parent, std::string_view tagName, std::string_view text);
    HRESULT AddTextElement(const KvtXmlElement* parent, std::string_view tagName, std::string_view text,
                           KvtXmlElement& element);

    // Writes the document as UTF-8 with its declaration; the file is replaced
    // only when the whole document was written.
    HRESULT SaveFile(const std::string& path) const;
    // Reads and parses a file; its encoding comes from its byte-order mark or
    // declaration (UTF-8 when it names none).
    HRESULT LoadFile(const std::string& path);

    // The text of the element at a dotted path of tag names from the root
    // element ("GROUP0.SECOBJ1.SECOBJNAME"); at each step the first child
    // whose tag matches without regard to case.
    HRESULT GetValue(std::string_view path, std::string& value) const;
    // The same text read as a decimal integer (surrounding white space allowed).
    HRESULT GetLongValue(std::string_view path, LONG* value) const;

    UINT CodePage() const;

private:
    // Parses the tree's buffer in place (decoded: it is UTF-8 already, and a
    // declaration inside says nothing about its bytes) and takes the tree; a
    // buffer that does not parse leaves no document.
    HRESULT Adopt(std::shared_ptr<DocumentTree> tree, bool decoded);
    HRESULT RootForWriting(const KvtXmlElement* parent, pugi::xml_node_struct*& node);
    bool Owns(const KvtXmlElement& element) const;

    UINT codePage_;
    std::shared_ptr<DocumentTree> tree_;
};

// Creates a document in the active code page. Tests may install a factory
// that fails or hands out prepared documents.
HRESULT CreateKvtXmlDocument(std::unique_ptr<KvtXmlDocument>& document);

using KvtXmlFactory = HRESULT (*)(std::unique_ptr<KvtXmlDocument>& document);
void InstallKvtXmlFactory(KvtXmlFactory factory); // null restores the default
void ResetKvtXmlFactory();

} // namespace zyr::xml
