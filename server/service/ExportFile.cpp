#include "server/service/ExportFile.h"

#include "platform/text/Ascii.h"

#include <pugixml.hpp>

#include <charconv>
#include <unordered_map>

namespace zyr::server {

namespace {

// Groups and objects of one file; far above any real application, it keeps a
// hostile count from costing more than the file itself.
constexpr long kMaxCount = 1000000;

// The element children of one node by lower-case name (the first of a name
// wins), so that numbered look-ups stay linear in the size of the file.
class Children {
public:
    explicit Children(pugi::xml_node parent)
    {
        for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
            if (n.type() == pugi::node_element) {
                byName_.emplace(zyr::text::AsciiLower(n.name()), n);
            }
        }
    }
    pugi::xml_node operator[](std::string_view name) const
    {
        auto it = byName_.find(zyr::text::AsciiLower(name));
        return it == byName_.end() ? pugi::xml_node() : it->second;
    }

private:
    std::unordered_map<std::string, pugi::xml_node> byName_;
};

std::string Text(const Children& parent, std::string_view name)
{
    return parent[name].child_value();
}

bool Count(const Children& parent, std::string_view name, long& count)
{
    pugi::xml_node node = parent[name];
    if (!node) {
        count = 0;
        return true; // an absent count reads as none
    }
    std::string_view text = node.child_value();
    while (!text.empty() &&
           (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
    return ec == std::errc() && end == text.data() + text.size() && count >= 0 && count <= kMaxCount;
}

// Reads the name, identity and description of a group or object; false when
// the name or the identity is missing.
template <class Record>
bool ReadNamed(const Children& node, std::string_view nameTag, std::string_view identityTag, Record& r)
{
    r.name = Text(node, nameTag);
    r.dn = Text(node, identityTag);
    r.description = Text(node, "DESCRIPTION");
    return !r.name.empty() && !r.dn.empty();
}

} // namespace

bool ReadExportFile(std::string_view text, ApplicationRecord& out, std::string& reason)
{
    out = ApplicationRecord{};
    pugi::xml_document doc;
    pugi::xml_parse_result parsed =
        doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    pugi::xml_node rootNode = doc.document_element();
    if (!parsed || !rootNode) {
        reason = "the file is not an export file";
        return false;
    }
    Children root(rootNode);
    out.name = Text(root, "ApplName");
    out.dn = Text(root, "ApplID");
    out.description = Text(root, "Description");
    out.permissionsPlain = Text(root, "KVTPerm");
    if (out.name.empty() || out.dn.empty()) {
        reason = "the file names no application or no application identity";
        return false;
    }
    long groups = 0;
    if (!Count(root, "GroupCount", groups)) {
        reason = "the group count cannot be read";
        return false;
    }
    for (long g = 0; g < groups; ++g) {
        pugi::xml_node groupElement = root["GROUP" + std::to_string(g)];
        if (!groupElement) {
            reason = "group " + std::to_string(g) + " is missing";
            return false;
        }
        Children groupNode(groupElement);
        GroupRecord group;
        group.applDn = out.dn;
        if (!ReadNamed(groupNode, "GROUPNAME", "GROUPID", group)) {
            reason = "group " + std::to_string(g) + " has no name or no identity";
            return false;
        }
        long objects = 0;
        if (!Count(groupNode, "SECOBJECTCOUNT", objects)) {
            reason = "the object count of group " + std::to_string(g) + " cannot be read";
            return false;
        }
        for (long o = 0; o < objects; ++o) {
            pugi::xml_node objectElement = groupNode["SECOBJ" + std::to_string(o)];
            if (!objectElement) {
                reason = "object " + std::to_string(o) + " of group " + std::to_string(g) + " is missing";
                return false;
            }
            Children objectNode(objectElement);
            ObjectRecord object;
            object.groupDn = group.dn;
            if (!ReadNamed(objectNode, "SECOBJNAME", "SECOBJID", object)) {
                reason = "object " + std::to_string(o) + " of group " + std::to_string(g) +
                         " has no name or no identity";
                return false;
            }
            group.objects.push_back(std::move(object));
        }
        out.groups.push_back(std::move(group));
    }
    return true;
}

} // namespace zyr::server
