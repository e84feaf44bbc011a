#include "signin/AccessRules.h"

#include "cache/TextCipher.h"
#include "platform/text/CodePage.h"

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

} // namespace

bool ParseRoleCache(std::string_view xml, std::vector<CachedRole>& roles)
{
    roles.clear();
    pugi::xml_document document;
    if (!LoadDocument(xml, document)) {
        return false;
    }
    pugi::xml_node list = document.child("DOCUMENT").child("KVTROLES");
    if (!list) {
        return false;
    }
    for (pugi::xml_node node : list.children("ROLE")) {
        CachedRole role;
        role.dn = ChildText(node, "ROLEDN");
        role.name = ChildText(node, "ROLENAME");
        role.memberGroups = DecryptMembers(ChildText(node, "MEMBERGROUP"));
        role.memberUsers = DecryptMembers(ChildText(node, "MEMBERUSER"));
        roles.push_back(std::move(role));
    }
    return true;
}

std::string FindObjectDn(std::string_view applXml, std::string_view application, std::string_view group,
                         std::string_view object)
{
    pugi::xml_document document;
    if (!LoadDocument(applXml, document)) {
        return {};
    }
    for (pugi::xml_node appl : document.child("DOCUMENT").child("KVTAPPLS").children("APPL")) {
        if (!EqualsNoCase(ChildText(appl, "APPLNAME"), application)) {
            continue;
        }
        for (pugi::xml_node secGroup : appl.children("SECGROUP")) {
            if (!EqualsNoCase(ChildText(secGroup, "GROUPNAME"), group)) {
                continue;
            }
            for (pugi::xml_node secObj : secGroup.children("SECOBJ")) {
                if (EqualsNoCase(ChildText(secObj, "SECOBJNAME"), object)) {
                    return ChildText(secObj, "SECOBJDN");
                }
            }
        }
    }
    return {};
}

bool FindAccessList(std::string_view applXml, std::string_view dn, std::vector<AccessGrant>& acl)
{
    acl.clear();
    pugi::xml_document document;
    if (dn.empty() || !LoadDocument(applXml, document)) {
        return false;
    }
    for (pugi::xml_node appl : document.child("DOCUMENT").child("KVTAPPLS").children("APPL")) {
        if (ChildText(appl, "APPLDN") == dn) {
            return ParseAccessList(ChildText(appl, "ACL"), acl);
        }
        for (pugi::xml_node secGroup : appl.children("SECGROUP")) {
            if (ChildText(secGroup, "GROUPDN") == dn) {
                return ParseAccessList(ChildText(secGroup, "ACL"), acl);
            }
            for (pugi::xml_node secObj : secGroup.children("SECOBJ")) {
                if (ChildText(secObj, "SECOBJDN") == dn) {
                    return ParseAccessList(ChildText(secObj, "ACL"), acl);
                }
            }
        }
    }
    return false;
}

} // namespace zyr::signin
