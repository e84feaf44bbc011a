#include "server/http/ListReplies.h"

#include "cache/TextCipher.h"
#include "server/service/XmlText.h"
#include "server/storage/PlainLists.h"

#include <array>

namespace zyr::server {

namespace {

constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><DOCUMENT>";
constexpr std::string_view kTail = "</DOCUMENT>";

void Element(std::string& out, std::string_view tag, std::string_view text)
{
    out += '<';
    out += tag;
    out += '>';
    AppendEscaped(out, text);
    out += "</";
    out += tag;
    out += '>';
}

} // namespace

void AppendEscaped(std::string& out, std::string_view text)
{
    // One pass over the text with a table of the characters that need an
    // entity, copying the runs between them: most texts have none, and a
    // search for a set of characters costs a call per character. Bytes
    // above 7F and controls are looked at too: text stored before the
    // server checked it may hold bytes no XML may, and they are written as
    // U+FFFD so that the reply stays well-formed.
    static constexpr auto kSpecial = [] {
        std::array<bool, 256> table{};
        for (unsigned char c : std::string_view("&<>\"'")) {
            table[c] = true;
        }
        for (int c = 0; c < 256; ++c) {
            table[c] = table[c] || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c >= 0x80;
        }
        return table;
    }();
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!kSpecial[c]) {
            continue;
        }
        if (c >= 0x80 || c < 0x20) {
            size_t length = AllowedCharLength(text.substr(i));
            if (length > 0) {
                i += length - 1;
                continue;
            }
        }
        out.append(text.data() + run, i - run);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += "\xEF\xBF\xBD";
            break;
        }
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
}

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
