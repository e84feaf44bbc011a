#include "signin/AccessRules.h"

#include "cache/TextCipher.h"
#include "common/XmlListChildren.h"
#include "platform/text/CodePage.h"

#include <functional>
#include <pugixml.hpp>

namespace zyr::signin {

using zyr::accessrule::ParsePlainAccessList;
using zyr::accessrule::SplitList;
using zyr::text::EqualsNoCase;

namespace {

bool LoadDocument(std::string_view xml, pugi::xml_document& document)
{
    return static_cast<bool>(document.load_buffer(xml.data(), xml.size()));
}

std::string ChildText(const pugi::xml_node& node, const char* name)
{
    return node.child(name).text().get();
}

std::vector<std::string> DecryptMembers(const std::string& encrypted)
{
    std::string plain;
    if (encrypted.empty() || !zyr::cipher::Decrypt(encrypted, plain)) {
        return {};
    }
    return SplitList(plain);
}

bool ParseAccessList(const std::string& encrypted, std::vector<AccessGrant>& acl)
{
    acl.clear();
    std::string plain;
    if (encrypted.empty()) {
        return true;
    }
    return zyr::cipher::Decrypt(encrypted, plain) && ParsePlainAccessList(plain, acl);
}

// A declaration naming another encoding than UTF-8 has the whole text parsed
// at once, converted as the declaration says.
bool SplitsAsUtf8(std::string_view xml)
{
    if (xml.substr(0, 5) != "<?xml") {
        return xml.empty() || xml.front() == '<' || xml.front() == ' ' || xml.front() == '\n';
    }
    const std::string_view declaration = xml.substr(0, xml.find("?>"));
    const size_t encoding = declaration.find("encoding");
    if (encoding == std::string_view::npos) {
        return true;
    }
    const size_t value = declaration.find_first_of("\"'", encoding);
    return value != std::string_view::npos && EqualsNoCase(declaration.substr(value + 1, 5), "UTF-8");
}

// Visits the childTag elements of a cache's listTag list in order until visit
// answers true. The caches run to tens of megabytes: each element is parsed
// on its own rather than the whole text into one tree. False when the text
// does not parse, or holds no such list and needsList; as for a whole parse,
// an element found before a part that does not parse does not count.
bool VisitList(std::string_view xml, const char* listTag, const char* childTag, bool needsList,
               const std::function<bool(const pugi::xml_node&)>& visit)
{
    zyr::xml::ListChildren split;
    if (!SplitsAsUtf8(xml) || !zyr::xml::SplitListChildren(xml, "DOCUMENT", listTag, split)) {
        pugi::xml_document document;
        if (!LoadDocument(xml, document)) {
            return false;
        }
        pugi::xml_node list = document.child("DOCUMENT").child(listTag);
        for (pugi::xml_node child : list.children(childTag)) {
            if (visit(child)) {
                break;
            }
        }
        return list || !needsList;
    }
    pugi::xml_document document;
    if (!LoadDocument(split.envelope, document) ||
        (needsList && !document.child("DOCUMENT").child(listTag))) {
        return false;
    }
    bool found = false;
    for (std::string_view child : split.children) {
        if (!LoadDocument(child, document)) {
            return false;
        }
        if (!found && document.child(childTag)) {
            found = visit(document.child(childTag));
        }
    }
    return true;
}

bool VisitApplications(std::string_view applXml, const std::function<bool(const pugi::xml_node&)>& visit)
{
    return VisitList(applXml, "KVTAPPLS", "APPL", false, visit);
}

} // namespace

bool ParseRoleCache(std::string_view xml, std::vector<CachedRole>& roles)
{
    roles.clear();
    const bool parsed = VisitList(xml, "KVTROLES", "ROLE", true, [&](const pugi::xml_node& node) {
        CachedRole role;
        role.dn = ChildText(node, "ROLEDN");
        role.name = ChildText(node, "ROLENAME");
        role.memberGroups = DecryptMembers(ChildText(node, "MEMBERGROUP"));
        role.memberUsers = DecryptMembers(ChildText(node, "MEMBERUSER"));
        roles.push_back(std::move(role));
        return false;
    });
    if (!parsed) {
        roles.clear();
    }
    return parsed;
}

std::string FindObjectDn(std::string_view applXml, std::string_view application, std::string_view group,
                         std::string_view object)
{
    std::string dn;
    const bool read = VisitApplications(applXml, [&](const pugi::xml_node& appl) {
        if (!EqualsNoCase(ChildText(appl, "APPLNAME"), application)) {
            return false;
        }
        for (pugi::xml_node secGroup : appl.children("SECGROUP")) {
            if (!EqualsNoCase(ChildText(secGroup, "GROUPNAME"), group)) {
                continue;
            }
            for (pugi::xml_node secObj : secGroup.children("SECOBJ")) {
                if (EqualsNoCase(ChildText(secObj, "SECOBJNAME"), object)) {
                    dn = ChildText(secObj, "SECOBJDN");
                    return true;
                }
            }
        }
        return false;
    });
    return read ? dn : std::string();
}

bool FindAccessList(std::string_view applXml, std::string_view dn, std::vector<AccessGrant>& acl)
{
    acl.clear();
    if (dn.empty()) {
        return false;
    }
    std::string encrypted;
    bool found = false;
    const bool read = VisitApplications(applXml, [&](const pugi::xml_node& appl) {
        auto take = [&](const pugi::xml_node& node) {
            encrypted = ChildText(node, "ACL");
            found = true;
            return true;
        };
        if (ChildText(appl, "APPLDN") == dn) {
            return take(appl);
        }
        for (pugi::xml_node secGroup : appl.children("SECGROUP")) {
            if (ChildText(secGroup, "GROUPDN") == dn) {
                return take(secGroup);
            }
            for (pugi::xml_node secObj : secGroup.children("SECOBJ")) {
                if (ChildText(secObj, "SECOBJDN") == dn) {
                    return take(secObj);
                }
            }
        }
        return false;
    });
    return read && found && ParseAccessList(encrypted, acl);
}

} // namespace zyr::signin
