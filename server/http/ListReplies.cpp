#include "server/http/ListReplies.h"

#include "cache/TextCipher.h"
#include "platform/text/Escape.h"
#include "server/storage/PlainLists.h"

namespace zyr::server {

namespace {

constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><DOCUMENT>";
constexpr std::string_view kTail = "</DOCUMENT>";

void Open(std::string& out, std::string_view tag)
{
    out += '<';
    out += tag;
    out += '>';
}

void Close(std::string& out, std::string_view tag)
{
    out += "</";
    out += tag;
    out += '>';
}

void Element(std::string& out, std::string_view tag, std::string_view text)
{
    Open(out, tag);
    text::AppendXmlEscaped(out, text, text::XmlBadBytes::Replace);
    Close(out, tag);
}

// Each item in its element, its fields written by fields(out, item), then the count.
template <class T, class Fields>
void AppendItems(std::string& out, std::string_view itemTag, std::string_view countTag,
                 const std::vector<T>& items, Fields&& fields)
{
    for (const auto& item : items) {
        Open(out, itemTag);
        fields(out, item);
        Close(out, itemTag);
    }
    Element(out, countTag, std::to_string(items.size()));
}

// A reply document of one list.
template <class T, class Fields>
std::string RenderList(std::string_view listTag, std::string_view itemTag, std::string_view countTag,
                       const std::vector<T>& items, Fields&& fields, size_t room = 0)
{
    std::string out;
    out.reserve(room);
    out += kHead;
    Open(out, listTag);
    AppendItems(out, itemTag, countTag, items, fields);
    Close(out, listTag);
    out += kTail;
    return out;
}

void AppendObject(std::string& out, const ObjectRecord& o)
{
    Element(out, "SECOBJDN", o.dn);
    Element(out, "SECOBJNAME", o.name);
    Element(out, "DESCRIPTION", o.description);
    Element(out, "ACL", o.aclEncrypted);
}

void AppendGroup(std::string& out, const GroupRecord& g)
{
    Element(out, "GROUPDN", g.dn);
    Element(out, "GROUPNAME", g.name);
    Element(out, "DESCRIPTION", g.description);
    Element(out, "ACL", g.aclEncrypted);
    AppendItems(out, "SECOBJ", "SECOBJCOUNT", g.objects, AppendObject);
}

void AppendApplication(std::string& out, const ApplicationRecord& a)
{
    Element(out, "APPLDN", a.dn);
    Element(out, "APPLNAME", a.name);
    Element(out, "DESCRIPTION", a.description);
    Element(out, "PERM", a.permissionsEncrypted);
    Element(out, "ACL", a.aclEncrypted);
    AppendItems(out, "SECGROUP", "GROUPCOUNT", a.groups, AppendGroup);
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
    return RenderList("KVTAPPLS", "APPL", "APPLCOUNT", applications, AppendApplication, estimate);
}

std::string RenderRoles(const std::vector<RoleRecord>& roles)
{
    return RenderList("KVTROLES", "ROLE", "ROLECOUNT", roles, [](std::string& out, const RoleRecord& r) {
        Element(out, "ROLEDN", r.dn);
        Element(out, "ROLENAME", r.name);
        Element(out, "DESCRIPTION", r.description);
        Element(out, "MEMBERGROUP", zyr::cipher::Encrypt(RenderMemberList(r.memberGroups)));
        Element(out, "MEMBERUSER", zyr::cipher::Encrypt(RenderMemberList(r.memberUsers)));
    });
}

std::string RenderLogs(const std::vector<LogEntry>& entries)
{
    return RenderList("KVTLOGS", "LOG", "LOGCOUNT", entries, [](std::string& out, const LogEntry& e) {
        Element(out, "DATETIME", e.time);
        Element(out, "USER", e.user);
        Element(out, "ACTION", e.action);
        Element(out, "STATUS", e.status);
    });
}

std::string RenderAudit(const std::vector<AuditRecord>& records)
{
    return RenderList("KVTAUDIT", "AUDIT", "AUDITCOUNT", records, [](std::string& out, const AuditRecord& a) {
        Element(out, "TIME", a.time);
        Element(out, "USER", a.user);
        Element(out, "COMPUTER", a.computer);
        Element(out, "OBJECT", a.object);
        Element(out, "OPERATION", a.operation);
        Element(out, "IDENTITY", a.identity);
        Element(out, "IDENTITYNAME", a.name);
        Element(out, "OLDVALUE", a.oldValue);
        Element(out, "NEWVALUE", a.newValue);
    });
}

} // namespace zyr::server
