#include "audit/AuditValueRecord.h"

namespace zyr::audit {

std::string EscapeAuditValue(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
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
        case '\'':
            out += "&apos;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {

void AppendValue(std::string& content, std::string_view value)
{
    content += "<Value>";
    content += EscapeAuditValue(value);
    content += "</Value>";
}

} // namespace

void CAuditValueRecord::AddField(std::string_view name, std::string_view value)
{
    content_ += '<';
    content_ += name;
    content_ += '>';
    AppendValue(content_, value);
    content_ += "</";
    content_ += name;
    content_ += '>';
}

void CAuditValueRecord::AddList(std::string_view name, const std::vector<std::string>& values)
{
    content_ += '<';
    content_ += name;
    content_ += '>';
    for (const std::string& value : values) {
        AppendValue(content_, value);
    }
    content_ += "</";
    content_ += name;
    content_ += '>';
}

std::string CAuditValueRecord::Render() const
{
    std::string out;
    out.reserve(content_.size() + 2 * tag_.size() + 5);
    out += '<';
    out += tag_;
    out += '>';
    out += content_;
    out += "</";
    out += tag_;
    out += '>';
    return out;
}

CAuditValueRecord& OldValueRecord()
{
    static CAuditValueRecord record(kOldValueTag);
    return record;
}

CAuditValueRecord& NewValueRecord()
{
    static CAuditValueRecord record(kNewValueTag);
    return record;
}

void ResetAuditValueRecords()
{
    OldValueRecord().Empty();
    NewValueRecord().Empty();
}

} // namespace zyr::audit
