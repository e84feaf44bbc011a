#include "server/http/ListReplies.h"

#include "cache/TextCipher.h"
#include "platform/text/Escape.h"
#include "server/storage/PlainLists.h"

namespace zyr::server {

namespace {

constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><DOCUMENT>";
constexpr std::string_view kTail = "</DOCUMENT>";

void Element(std::string& out, std::string_view tag, std::string_view text)
{
    out += '<';
    out += tag;
    out += '>';
    text::AppendXmlEscaped(out, text, text::XmlBadBytes::Replace);
    out += "</";
    out += tag;
    out += '>';
}

} // namespace

std::string RenderApplications(const std::vector<ApplicationRecord>& applications)
{
    // The room is taken once, from the texts themselves plus the markup
    // around them and a little for entities: a reply of tens of megabytes
    // that outgrew its room would be copied into one twice as large.
    size_t estimate = 256;
    for (const auto& a : applications) {
        estimate += 160 + a.dn.size() + a.name.size() + a.description.size() + a.permissionsEncrypted.size() +
                    a.aclEncrypted.size();
        for (const auto& g : a.groups) {
            estimate += 160 + g.dn.size() + g.name.size() + g.description.size() + g.aclEncrypted.size();
            for (const auto& o : g.objects) {
                estimate += 101 + o.dn.size() + o.name.size() + o.description.size() + o.aclEncrypted.size();
            }
        }
    }
    estimate += estimate / 32;
    std::string out;
    out.reserve(estimate);
    out += kHead;
    out += "<KVTAPPLS>";
    for (const auto& a : applications) {
        out += "<APPL>";
        Element(out, "APPLDN", a.dn);
        Element(out, "APPLNAME", a.name);
        Element(out, "DESCRIPTION", a.description);
        Element(out, "PERM", a.permissionsEncrypted);
        Element(out, "ACL", a.aclEncrypted);
        for (const auto& g : a.groups) {
            out += "<SECGROUP>";
            Element(out, "GROUPDN", g.dn);
            Element(out, "GROUPNAME", g.name);
            Element(out, "DESCRIPTION", g.description);
            Element(out, "ACL", g.aclEncrypted);
            for (const auto& o : g.objects) {
                out += "<SECOBJ>";
                Element(out, "SECOBJDN", o.dn);
                Element(out, "SECOBJNAME", o.name);
                Element(out, "DESCRIPTION", o.description);
                Element(out, "ACL", o.aclEncrypted);
                out += "</SECOBJ>";
            }
            Element(out, "SECOBJCOUNT", std::to_string(g.objects.size()));
            out += "</SECGROUP>";
        }
        Element(out, "GROUPCOUNT", std::to_string(a.groups.size()));
        out += "</APPL>";
    }
    Element(out, "APPLCOUNT", std::to_string(applications.size()));
    out += "</KVTAPPLS>";
    out += kTail;
    return out;
}

std::string RenderRoles(const std::vector<RoleRecord>& roles)
{
    std::string out(kHead);
    out += "<KVTROLES>";
    for (const auto& r : roles) {
        out += "<ROLE>";
        Element(out, "ROLEDN", r.dn);
        Element(out, "ROLENAME", r.name);
        Element(out, "DESCRIPTION", r.description);
        Element(out, "MEMBERGROUP", zyr::cipher::Encrypt(RenderMemberList(r.memberGroups)));
        Element(out, "MEMBERUSER", zyr::cipher::Encrypt(RenderMemberList(r.memberUsers)));
        out += "</ROLE>";
    }
    Element(out, "ROLECOUNT", std::to_string(roles.size()));
    out += "</KVTROLES>";
    out += kTail;
    return out;
}

std::string RenderLogs(const std::vector<LogEntry>& entries)
{
    std::string out(kHead);
    out += "<KVTLOGS>";
    for (const auto& e : entries) {
        out += "<LOG>";
        Element(out, "DATETIME", e.time);
        Element(out, "USER", e.user);
        Element(out, "ACTION", e.action);
        Element(out, "STATUS", e.status);
        out += "</LOG>";
    }
    Element(out, "LOGCOUNT", std::to_string(entries.size()));
    out += "</KVTLOGS>";
    out += kTail;
    return out;
}

std::string RenderAudit(const std::vector<AuditRecord>& records)
{
    std::string out(kHead);
    out += "<KVTAUDIT>";
    for (const auto& a : records) {
        out += "<AUDIT>";
        Element(out, "TIME", a.time);
        Element(out, "USER", a.user);
        Element(out, "COMPUTER", a.computer);
        Element(out, "OBJECT", a.object);
        Element(out, "OPERATION", a.operation);
        Element(out, "IDENTITY", a.identity);
        Element(out, "IDENTITYNAME", a.name);
        Element(out, "OLDVALUE", a.oldValue);
        Element(out, "NEWVALUE", a.newValue);
        out += "</AUDIT>";
    }
    Element(out, "AUDITCOUNT", std::to_string(records.size()));
    out += "</KVTAUDIT>";
    out += kTail;
    return out;
}

} // namespace zyr::server
