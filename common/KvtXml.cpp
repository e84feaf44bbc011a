#include "common/KvtXml.h"

#include "platform/text/CodePage.h"

#include <pugixml.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

// --- UTF-8 and UTF-16, for documents in a code page other than UTF-8 -------

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string Utf16ToUtf8(std::u16string_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// Invalid sequences become U+FFFD, which the code page then writes as '?'.
std::u16string Utf8ToUtf16(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        char32_t c = 0xFFFD;
        if (length == 1) {
            c = b;
        } else if (length > 1 && i + length <= bytes.size()) {
            c = b & (0x7F >> length);
            for (size_t k = 1; k < length; ++k) {
                const auto t = static_cast<unsigned char>(bytes[i + k]);
                if ((t & 0xC0) != 0x80) {
                    c = 0xFFFD;
                    length = k;
                    break;
                }
                c = (c << 6) | (t & 0x3F);
            }
        } else {
            length = 1;
        }
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(c > 0x10FFFF ? u'\uFFFD' : static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

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

bool EqualsAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) {
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

// Appends all text inside the node, in document order, without recursion.
void AppendTextOf(pugi::xml_node node, std::string& text)
{
    text.append(OwnText(node));
    pugi::xml_node cursor = node.first_child();
    while (cursor) {
        text.append(OwnText(cursor));
        if (cursor.first_child()) {
            cursor = cursor.first_child();
            continue;
        }
        while (cursor && cursor != node && !cursor.next_sibling()) {
            cursor = cursor.parent();
        }
        if (!cursor || cursor == node) {
            break;
        }
        cursor = cursor.next_sibling();
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
    try {
        children.tree_ = tree_;
        children.nodes_.clear();
        for (pugi::xml_node child = pugi::xml_node(node_).first_child(); child;
             child = child.next_sibling()) {
            if (child.type() == pugi::node_element) {
                children.nodes_.push_back(child.internal_object());
            }
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        children.nodes_.clear();
        return E_OUTOFMEMORY;
    }
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
    return Utf16ToUtf8(text::Widen(bytes));
}

std::string FromInner(UINT codePage, std::string_view utf8)
{
    if (codePage == text::CP_UTF8 || IsAscii(utf8)) {
        return std::string(utf8);
    }
    return text::Narrow(Utf8ToUtf16(utf8));
}

} // namespace

HRESULT KvtXmlElement::get_tagName(std::string& tagName) const
{
    if (!node_) {
        return E_POINTER;
    }
    try {
        tagName = FromInner(tree_->codePage, pugi::xml_node(node_).name());
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT KvtXmlElement::get_text(std::string& text) const
{
    if (!node_) {
        return E_POINTER;
    }
    try {
        // Gathered straight into text, reusing its room; converted only
        // when the document's code page needs it.
        text.clear();
        AppendTextOf(pugi::xml_node(node_), text);
        if (tree_->codePage != text::CP_UTF8 && !IsAscii(text)) {
            text = FromInner(tree_->codePage, text);
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

KvtXmlDocument::KvtXmlDocument(UINT codePage) : codePage_(codePage) {}

KvtXmlDocument::~KvtXmlDocument() = default;

UINT KvtXmlDocument::CodePage() const
{
    return codePage_;
}

HRESULT KvtXmlDocument::Adopt(std::shared_ptr<DocumentTree> tree)
{
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
    try {
        auto tree = std::make_shared<DocumentTree>(codePage_);
        // Text that needs no conversion is taken over, not copied: list
        // replies run to tens of megabytes.
        if (codePage_ == text::CP_UTF8 || IsAscii(xml)) {
            tree->buffer = std::move(xml);
        } else {
            tree->buffer = ToInner(codePage_, xml);
        }
        // The text is already decoded: a declaration inside it says nothing
        // about its bytes.
        const auto result = tree->document.load_buffer_inplace(tree->buffer.data(), tree->buffer.size(),
                                                               kParseOptions, pugi::encoding_utf8);
        if (HRESULT hr = ParseResult(result, tree->document); FAILED(hr)) {
            tree_.reset();
            return hr;
        }
        return Adopt(std::move(tree));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT KvtXmlDocument::get_XmlString(std::string& xml) const
{
    if (!tree_) {
        return KVTXML_E_NO_DOCUMENT;
    }
    try {
        std::ostringstream out;
        tree_->document.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
        xml = std::move(out).str();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
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
    try {
        const std::string tag = ToInner(codePage_, tagName);
        pugi::xml_node top = parent ? pugi::xml_node(parent->node_) : pugi::xml_node(tree_->document);
        pugi::xml_node cursor = top.first_child();
        while (cursor) {
            if (cursor.type() == pugi::node_element && tag == cursor.name()) {
                element = KvtXmlElement(tree_, cursor.internal_object());
                return S_OK;
            }
            if (cursor.first_child()) {
                cursor = cursor.first_child();
                continue;
            }
            while (cursor && cursor != top && !cursor.next_sibling()) {
                cursor = cursor.parent();
            }
            if (!cursor || cursor == top) {
                break;
            }
            cursor = cursor.next_sibling();
        }
        return KVTXML_E_NOT_FOUND;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
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
    try {
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
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
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
    try {
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
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
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
    try {
        std::ostringstream out;
        tree_->document.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
        xml = std::move(out).str();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

    // Write beside the target and rename over it, so that a failed write
    // never leaves a cut file in place of a good one.
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return KVTXML_E_FILE;
    }
    bool written = true;
    size_t done = 0;
    while (done < xml.size()) {
        const ssize_t n = ::write(fd, xml.data() + done, xml.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            written = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    written = ::fsync(fd) == 0 && written;
    written = ::close(fd) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return KVTXML_E_FILE;
    }
    return S_OK;
}

HRESULT KvtXmlDocument::LoadFile(const std::string& path)
{
    try {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            return KVTXML_E_FILE;
        }
        std::string bytes;
        char chunk[65536];
        size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            bytes.append(chunk, n);
        }
        const bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (failed) {
            return KVTXML_E_FILE;
        }
        auto tree = std::make_shared<DocumentTree>(codePage_);
        tree->buffer = std::move(bytes);
        const auto result = tree->document.load_buffer_inplace(tree->buffer.data(), tree->buffer.size(),
                                                               kParseOptions, pugi::encoding_auto);
        if (HRESULT hr = ParseResult(result, tree->document); FAILED(hr)) {
            tree_.reset();
            return hr;
        }
        return Adopt(std::move(tree));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT KvtXmlDocument::GetValue(std::string_view path, std::string& value) const
{
    if (!tree_) {
        return KVTXML_E_NO_DOCUMENT;
    }
    if (path.empty()) {
        return E_INVALIDARG;
    }
    try {
        const std::string inner = ToInner(codePage_, path);
        pugi::xml_node node = tree_->document.document_element();
        std::string_view rest = inner;
        while (node) {
            const size_t dot = rest.find('.');
            const std::string_view step = rest.substr(0, dot);
            pugi::xml_node match;
            for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
                if (child.type() == pugi::node_element && EqualsAsciiNoCase(step, child.name())) {
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
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
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
    try {
        document = std::make_unique<KvtXmlDocument>(text::ActiveCodePage());
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
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
