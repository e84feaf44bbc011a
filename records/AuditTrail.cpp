#include "records/AuditTrail.h"

#include "common/CsvField.h"
#include "common/KvtXml.h"
#include "common/RequestFrame.h"
#include "platform/text/Ascii.h"
#include "records/AuditChange.h"
#include "web/WebPage.h"

#include <memory>

namespace zyr::records {

namespace {

constexpr size_t kAuditFields = 9;

std::vector<zyr::xml::KvtXmlElement> Children(const zyr::xml::KvtXmlElement& element)
{
    std::vector<zyr::xml::KvtXmlElement> out;
    zyr::xml::KvtXmlElementCollection children;
    LONG count = 0;
    if (FAILED(element.get_children(children)) || FAILED(children.get_length(&count))) {
        return out;
    }
    for (LONG i = 0; i < count; ++i) {
        zyr::xml::KvtXmlElement child;
        if (SUCCEEDED(children.item(i, child))) {
            out.push_back(std::move(child));
        }
    }
    return out;
}

// A filter value as the server reads it back byte for byte: everything but
// letters, digits and "-._~" escaped (the administrator's text may hold "%",
// "+", "#" or "?").
std::string Escaped(std::string_view value)
{
    std::string out;
    for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            zyr::text::AppendHexByte(out, b);
        }
    }
    return out;
}

} // namespace

std::string AuditPageUrl(std::string_view serverUrl, const AuditFilter& filter, long page)
{
    zyr::RequestUrl url(serverUrl, "Audit", "Get");
    url.Number("DisplaySet", page);
    for (auto [key, value] : {std::pair{"FromTime", &filter.from}, std::pair{"ToTime", &filter.to},
                              std::pair{"User", &filter.user}, std::pair{"Object", &filter.object},
                              std::pair{"Name", &filter.name}}) {
        if (!value->empty()) {
            url.Plain(key, Escaped(*value));
        }
    }
    return url.str();
}

bool ParseAuditPage(std::string reply, std::vector<AuditEntry>& out, std::string& why)
{
    out.clear();
    if (reply.rfind("Error: ", 0) == 0) {
        why = reply.substr(0, reply.find_first_of("\r\n"));
        return false;
    }
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    zyr::xml::KvtXmlElement trail;
    if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document ||
        FAILED(document->put_XmlString(std::move(reply))) ||
        FAILED(document->FindElement(nullptr, "KVTAUDIT", trail))) {
        why = "The security server did not answer with its audit trail.";
        return false;
    }
    std::vector<zyr::xml::KvtXmlElement> records = Children(trail);
    // The last child counts the records; it is not one.
    for (size_t i = 0; i + 1 < records.size(); ++i) {
        std::vector<zyr::xml::KvtXmlElement> fields = Children(records[i]);
        if (fields.size() < kAuditFields) {
            why = "The security server's audit trail holds a record that cannot be read.";
            out.clear();
            return false;
        }
        AuditEntry entry;
        std::string* targets[kAuditFields] = {&entry.time,   &entry.user,      &entry.computer,
                                              &entry.object, &entry.operation, &entry.identity,
                                              &entry.name,   &entry.oldValue,  &entry.newValue};
        for (size_t f = 0; f < kAuditFields; ++f) {
            document->GetElementText(fields[f], *targets[f]);
        }
        out.push_back(std::move(entry));
    }
    return true;
}

HRESULT FetchAuditPage(std::string_view serverUrl, const AuditFilter& filter, long page,
                       std::vector<AuditEntry>& out, std::string& why)
{
    out.clear();
    if (serverUrl.empty()) {
        why = "No security server is configured.";
        return E_FAIL;
    }
    std::string reply;
    if (!GetWebPage(AuditPageUrl(serverUrl, filter, page), reply, false)) {
        if (reply.rfind("Error: ", 0) == 0) {
            ParseAuditPage(std::move(reply), out, why);
        } else {
            why = "The audit trail could not be fetched from the security server.";
        }
        return E_FAIL;
    }
    return ParseAuditPage(std::move(reply), out, why) ? S_OK : E_FAIL;
}

std::string FormatAuditCsv(std::span<const AuditEntry> entries, std::string_view lineEnd)
{
    std::string csv = "Time,User,Computer,Object,Operation,Name,Change";
    csv += lineEnd;
    for (const AuditEntry& e : entries) {
        for (const std::string* field : {&e.time, &e.user, &e.computer, &e.object, &e.operation, &e.name}) {
            csv += CsvField(*field);
            csv += ',';
        }
        csv += CsvField(ChangeSummary(e));
        csv += lineEnd;
    }
    return csv;
}

} // namespace zyr::records
