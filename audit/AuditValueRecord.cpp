#include "audit/AuditValueRecord.h"

#include "platform/text/Escape.h"

namespace zyr::audit {

namespace {

void AppendValue(std::string& content, std::string_view value)
{
    content += "<Value>";
    zyr::text::AppendXmlEscaped(content, value);
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
