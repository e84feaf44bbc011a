#include "common/KvtXml.h"

#include "platform/com/MemoryGuard.h"
#include "platform/file/FileContent.h"
#include "platform/text/Ascii.h"
#include "platform/text/CodePage.h"
#include "platform/text/Utf8.h"

#include <pugixml.hpp>

#include <charconv>
#include <sstream>

namespace zyr::xml {

struct DocumentTree {
    explicit DocumentTree(UINT page) : codePage(page) {}

    UINT codePage;
    pugi::xml_document document;
    std::string buffer; // the text parsed in place, when there is one
};

namespace {

// Text that opens an element is kept in the element itself rather than in a
// node of its own: list replies are mostly such elements, and this halves
// the nodes (and the memory) of their documents.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata;
constexpr const char* kRootTag = "DOCUMENT";

bool IsAscii(std::string_view bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// --- tags -----------------------------------------------------------------

bool IsNameByte(unsigned char c, bool first)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80) {
        return true;
    }
    return !first && ((c >= '0' && c <= '9') || c == '-' || c == '.');
}

bool IsValidTag(std::string_view tag)
{
    if (tag.empty()) {
        return false;
    }
    for (size_t i = 0; i < tag.size(); ++i) {
        if (!IsNameByte(static_cast<unsigned char>(tag[i]), i == 0)) {
            return false;
        }
    }
    return true;
}

// --- text of an element ---------------------------------------------------

bool IsText(const pugi::xml_node& node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// The text an element holds itself (its first text, when parsed) or a text node's.
const char* OwnText(const pugi::xml_node& node)
{
    return IsText(node) || node.type() == pugi::node_element ? node.value() : "";
}

// The node after cursor in document order below top (a child first, else the
// next sibling of cursor or of its nearest ancestor below top), or null when
// the walk below top is done. No recursion, so any depth walks.
pugi::xml_node NextBelow(pugi::xml_node top, pugi::xml_node cursor)
{
    if (cursor.first_child()) {
        return cursor.first_child();
    }
    while (cursor && cursor != top && !cursor.next_sibling()) {
        cursor = cursor.parent();
    }
    if (!cursor || cursor == top) {
        return {};
    }
    return cursor.next_sibling();
}

// Appends all text inside the node, in document order.
void AppendTextOf(pugi::xml_node node, std::string& text)
{
    text.append(OwnText(node));
    for (pugi::xml_node cursor = node.first_child(); cursor; cursor = NextBelow(node, cursor)) {
        text.append(OwnText(cursor));
    }
}

std::string TextOf(pugi::xml_node node)
{
    std::string text;
    AppendTextOf(node, text);
    return text;
}

HRESULT ParseResult(const pugi::xml_parse_result& result, const pugi::xml_document& document)
{
    if (!result || !document.document_element()) {
        return KVTXML_E_PARSE;
    }
    return S_OK;
}

KvtXmlFactory& Factory()
{
    static KvtXmlFactory factory = nullptr;
    return factory;
}

} // namespace

// --- elements -------------------------------------------------------------

HRESULT KvtXmlElement::get_children(KvtXmlElementCollection& children) const
{
    if (!node_) {
        return E_POINTER;
    }
    // The collection's room is reused: walks gather the children of one
    // record after another into the same collection.
    HRESULT hr = com::GuardMemory([&]() -> HRESULT {
        children.tree_ = tree_;
        children.nodes_.clear();
        for (pugi::xml_node child = pugi::xml_node(node_).first_child(); child;
             child = child.next_sibling()) {
            if (child.type() == pugi::node_element) {
                children.nodes_.push_back(child.internal_object());
            }
        }
        return S_OK;
    });
    if (FAILED(hr)) {
        children.nodes_.clear();
    }
    return hr;
}

HRESULT KvtXmlElementCollection::get_length(LONG* length) const
{
    if (!length) {
        return E_POINTER;
    }
    *length = static_cast<LONG>(nodes_.size());
    return S_OK;
}

HRESULT KvtXmlElementCollection::item(LONG index, KvtXmlElement& element) const
{
    if (index < 0 || static_cast<size_t>(index) >= nodes_.size()) {
        return E_INVALIDARG;
    }
    element = KvtXmlElement(tree_, nodes_[static_cast<size_t>(index)]);
    return S_OK;
}

// --- the document -----------------------------------------------------------

namespace {

// Bytes of the document's code page to the UTF-8 kept inside.
std::string ToInner(UINT codePage, std::string_view bytes)
{
    if (codePage == text::CP_UTF8 || IsAscii(bytes)) {
        return std::string(bytes);
    }
    return text::Utf16ToUtf8(text::Widen(bytes));
}

std::string FromInner(UINT codePage, std::string_view utf8)
{
    if (codePage == text::CP_UTF8 || IsAscii(utf8)) {
        return std::string(utf8);
    }
    return text::Narrow(text::Utf8ToUtf16(utf8));
}

} // namespace

HRESULT KvtXmlElement::get_tagName(std::string& tagName) const
{
    if (!node_) {
        return E_POINTER;
    }
    return com::GuardMemory([&]() -> HRESULT {
        tagName = FromInner(tree_->codePage, pugi::xml_node(node_).name());
        return S_OK;
    });
}

HRESULT KvtXmlElement::get_text(std::string& text) const
{
    if (!node_) {
        return E_POINTER;
    }
    return com::GuardMemory([&]() -> HRESULT {
        // Gathered straight into text, reusing its room; converted only
        // when the document's code page needs it.
        text.clear();
        AppendTextOf(pugi::xml_node(node_), text);
        if (tree_->codePage != text::CP_UTF8 && !IsAscii(text)) {
            text = FromInner(tree_->codePage, text);
        }
        return S_OK;
    });
}

KvtXmlDocument::KvtXmlDocument(UINT codePage) : codePage_(codePage) {}

KvtXmlDocument::~KvtXmlDocument() = default;

UINT KvtXmlDocument::CodePage() const
{
    return codePage_;
}

HRESULT KvtXmlDocument::Adopt(std::shared_ptr<DocumentTree> tree, bool decoded)
{
    const auto result =
        tree->document.load_buffer_inplace(tree->buffer.data(), tree->buffer.size(), kParseOptions,
                                           decoded ? pugi::encoding_utf8 : pugi::encoding_auto);
    if (HRESULT hr = ParseResult(result, tree->document); FAILED(hr)) {
        tree_.reset();
        return hr;
    }
    // Elements handed out before keep the tree they came from.
    tree_ = std::move(tree);
    return S_OK;
}

bool KvtXmlDocument::Owns(const KvtXmlElement& element) const
{
    return element.node_ && tree_ && element.tree_.get() == tree_.get();
}

HRESULT KvtXmlDocument::put_XmlString(std::string_view xml)
{
    return put_XmlString(std::string(xml));
}

HRESULT KvtXmlDocument::put_XmlString(std::string&& xml)
{
    return com::GuardMemory([&]() -> HRESULT {
        auto tree = std::make_shared<DocumentTree>(codePage_);
        // Text that needs no conversion is taken over, not copied: list
        // replies run to tens of megabytes.
        if (codePage_ == text::CP_UTF8 || IsAscii(xml)) {
            tree->buffer = std::move(xml);
        } else {
            tree->buffer = ToInner(codePage_, xml);
        }
        return Adopt(std::move(tree), true);
    });
}

HRESULT KvtXmlDocument::get_XmlString(std::string& xml) const
{
    if (!tree_) {
        return KVTXML_E_NO_DOCUMENT;
    }
    return com::GuardMemory([&]() -> HRESULT {
        std::ostringstream out;
        tree_->document.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
        xml = std::move(out).str();
        return S_OK;
    });
}

HRESULT KvtXmlDocument::FindElement(const KvtXmlElement* parent, std::string_view tagName,
                                    KvtXmlElement& element) const
{
    if (!tree_) {
        return KVTXML_E_NO_DOCUMENT;
    }
    if (parent && !Owns(*parent)) {
        return E_INVALIDARG;
    }
    return com::GuardMemory([&]() -> HRESULT {
        const std::string tag = ToInner(codePage_, tagName);
        pugi::xml_node top = parent ? pugi::xml_node(parent->node_) : pugi::xml_node(tree_->document);
        for (pugi::xml_node cursor = top.first_child(); cursor; cursor = NextBelow(top, cursor)) {
            if (cursor.type() == pugi::node_element && tag == cursor.name()) {
                element = KvtXmlElement(tree_, cursor.internal_object());
                return S_OK;
            }
        }
        return KVTXML_E_NOT_FOUND;
    });
}

HRESULT KvtXmlDocument::RemoveElement(KvtXmlElement& element)
{
    if (!tree_) {
        return KVTXML_E_NO_DOCUMENT;
    }
    if (!Owns(element)) {
        return E_INVALIDARG;
    }
    pugi::xml_node node(element.node_);
    pugi::xml_node parent = node.parent();
    if (!parent || !parent.remove_child(node)) {
        return E_INVALIDARG;
    }
    element = {};
    return S_OK;
}

HRESULT KvtXmlDocument::GetElementText(const KvtXmlElement& element, std::string& text) const
{
    return element.get_text(text);
}

HRESULT KvtXmlDocument::get_documentElement(KvtXmlElement& element) const
{
    if (!tree_) {
        return KVTXML_E_NO_DOCUMENT;
    }
    pugi::xml_node root = tree_->document.document_element();
    if (!root) {
        return KVTXML_E_NOT_FOUND;
    }
    element = KvtXmlElement(tree_, root.internal_object());
    return S_OK;
}

HRESULT KvtXmlDocument::RootForWriting(const KvtXmlElement* parent, pugi::xml_node_struct*& node)
{
    if (parent) {
        if (!Owns(*parent)) {
            return E_INVALIDARG;
        }
        node = parent->node_;
        return S_OK;
    }
    if (!tree_) {
        tree_ = std::make_shared<DocumentTree>(codePage_);
    }
    pugi::xml_node root = tree_->document.document_element();
    if (!root) {
        root = tree_->document.append_child(kRootTag);
        if (!root) {
            return E_OUTOFMEMORY;
        }
    }
    node = root.internal_object();
    return S_OK;
}

HRESULT KvtXmlDocument::AddElement(const KvtXmlElement* parent, std::string_view tagName,
                                   KvtXmlElement& element)
{
    return com::GuardMemory([&]() -> HRESULT {
        const std::string tag = ToInner(codePage_, tagName);
        if (!IsValidTag(tag)) {
            return E_INVALIDARG;
        }
        pugi::xml_node_struct* parentNode = nullptr;
        if (HRESULT hr = RootForWriting(parent, parentNode); FAILED(hr)) {
            return hr;
        }
        pugi::xml_node child = pugi::xml_node(parentNode).append_child(tag.c_str());
        if (!child) {
            return E_OUTOFMEMORY;
        }
        element = KvtXmlElement(tree_, child.internal_object());
        return S_OK;
    });
}

HRESULT KvtXmlDocument::AddTextElement(const KvtXmlElement* parent, std::string_view tagName,
                                       std::string_view text)
{
    KvtXmlElement ignored;
    return AddTextElement(parent, tagName, text, ignored);
}

HRESULT KvtXmlDocument::AddTextElement(const KvtXmlElement* parent, std::string_view tagName,
                                       std::string_view text, KvtXmlElement& element)
{
    return com::GuardMemory([&]() -> HRESULT {
        KvtXmlElement added;
        if (HRESULT hr = AddElement(parent, tagName, added); FAILED(hr)) {
            return hr;
        }
        if (!text.empty()) {
            const std::string inner = ToInner(codePage_, text);
            pugi::xml_node value = pugi::xml_node(added.node_).append_child(pugi::node_pcdata);
            if (!value || !value.set_value(inner.c_str())) {
                return E_OUTOFMEMORY;
            }
        }
        element = std::move(added);
        return S_OK;
    });
}

HRESULT KvtXmlDocument::SaveFile(const std::string& path) const
{
    if (!tree_ || !tree_->document.document_element()) {
        return KVTXML_E_NO_DOCUMENT;
    }
    if (path.empty()) {
        return E_INVALIDARG;
    }
    std::string xml;
    if (HRESULT hr = get_XmlString(xml); FAILED(hr)) {
        return hr;
    }
    // Exports hold security data: a new file is for its owner only.
    return file::SaveFileAtomically(path, xml, 0600).ok() ? S_OK : KVTXML_E_FILE;
}

HRESULT KvtXmlDocument::LoadFile(const std::string& path)
{
    return com::GuardMemory([&]() -> HRESULT {
        std::string bytes;
        if (file::ReadWholeFile(path, bytes) != 0) {
            return KVTXML_E_FILE;
        }
        auto tree = std::make_shared<DocumentTree>(codePage_);
        tree->buffer = std::move(bytes);
        return Adopt(std::move(tree), false);
    });
}

HRESULT KvtXmlDocument::GetValue(std::string_view path, std::string& value) const
{
    if (!tree_) {
        return KVTXML_E_NO_DOCUMENT;
    }
    if (path.empty()) {
        return E_INVALIDARG;
    }
    return com::GuardMemory([&]() -> HRESULT {
        const std::string inner = ToInner(codePage_, path);
        pugi::xml_node node = tree_->document.document_element();
        std::string_view rest = inner;
        while (node) {
            const size_t dot = rest.find('.');
            const std::string_view step = rest.substr(0, dot);
            pugi::xml_node match;
            for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
                if (child.type() == pugi::node_element && text::EqualsAsciiNoCase(step, child.name())) {
                    match = child;
                    break;
                }
            }
            node = match;
            if (dot == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(dot + 1);
        }
        if (!node) {
            return KVTXML_E_NOT_FOUND;
        }
        value = FromInner(codePage_, TextOf(node));
        return S_OK;
    });
}

HRESULT KvtXmlDocument::GetLongValue(std::string_view path, LONG* value) const
{
    if (!value) {
        return E_POINTER;
    }
    std::string text;
    if (HRESULT hr = GetValue(path, text); FAILED(hr)) {
        return hr;
    }
    std::string_view digits = text;
    constexpr std::string_view kSpace = " \t\r\n";
    const size_t first = digits.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return KVTXML_E_NOT_NUMBER;
    }
    digits = digits.substr(first, digits.find_last_not_of(kSpace) - first + 1);
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') {
        digits.remove_prefix(1);
    }
    LONG parsed = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
        return KVTXML_E_NOT_NUMBER;
    }
    *value = parsed;
    return S_OK;
}

// --- creation -------------------------------------------------------------

HRESULT CreateKvtXmlDocument(std::unique_ptr<KvtXmlDocument>& document)
{
    if (KvtXmlFactory factory = Factory()) {
        return factory(document);
    }
    return com::GuardMemory([&]() -> HRESULT {
        document = std::make_unique<KvtXmlDocument>(text::ActiveCodePage());
        return S_OK;
    });
}

void InstallKvtXmlFactory(KvtXmlFactory factory)
{
    Factory() = factory;
}

void ResetKvtXmlFactory()
{
    Factory() = nullptr;
}

} // namespace zyr::xml
