// The audit value records: XML fragments of old and new values that a page's
// apply builds for the audit trail of an update.
//
//   field:  <Name><Value>escaped value</Value></Name>
//   list:   <Name><Value>v1</Value><Value>v2</Value>...</Name>  (empty list: <Name></Name>)
//   render: <Tag>content</Tag>
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyr::audit {

constexpr std::string_view kOldValueTag = "OldValue";
constexpr std::string_view kNewValueTag = "NewValue";

class CAuditValueRecord {
public:
    explicit CAuditValueRecord(std::string_view tag) : tag_(tag) {}

    void AddField(std::string_view name, std::string_view value);
    void AddList(std::string_view name, const std::vector<std::string>& values);
    // "<" tag ">" content "</" tag ">".
    std::string Render() const;
    void Empty() { content_.clear(); }

    const std::string& Tag() const { return tag_; }
    const std::string& Content() const { return content_; }

private:
    std::string tag_;
    std::string content_;
};

// The process-wide pair that the pages share, empty at start. Elements added
// by an apply that stops before rendering stay until the next Empty.
CAuditValueRecord& OldValueRecord();
CAuditValueRecord& NewValueRecord();
// Empties both (tests, and a page that abandons an apply).
void ResetAuditValueRecords();

} // namespace zyr::audit
