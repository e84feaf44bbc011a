// Entries of the authentication and authorization log, read and deleted page
// by page.
#pragma once

#include "common/KvtXml.h"
#include "platform/com/WinTypes.h"
#include "roles/RecordSupport.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CKVTLog {
public:
    CKVTLog();
    virtual ~CKVTLog() = default;
    CKVTLog(const CKVTLog&) = delete;
    CKVTLog& operator=(const CKVTLog&) = delete;

    zyr::records::Field<64> DateTime;
    zyr::records::Field<256> User;
    zyr::records::Field<16> Action;
    zyr::records::Field<16> Status;

    // True for an entry whose status is "Failed" (without regard to case).
    bool IsFailed() const;

    // Deletes this entry on the server: true when the server took the
    // request. An entry whose Date/Time does not read as a date and time is
    // refused (false) without a request.
    bool Delete();

    std::string_view ServerUrlText() const { return serverUrl_.view(); }

private:
    zyr::records::ServerUrl serverUrl_;
};

class CKVTLogList {
public:
    CKVTLogList();
    ~CKVTLogList() = default;
    CKVTLogList(const CKVTLogList&) = delete;
    CKVTLogList& operator=(const CKVTLogList&) = delete;

    // Fetches the page DisplaySet: without from, the whole log; with from
    // (even empty), the range from..to. S_OK, E_FAIL for a failed transport,
    // or the component's failure; a failed fetch leaves the list empty.
    HRESULT GetLogs(std::string_view user, std::optional<std::string_view> from, std::string_view to);
    // Appends the entries of a parsed log page reply (the records of its
    // KVTLOGS element; malformed ones are skipped). A document without that
    // element, or a failing component, empties the list.
    HRESULT LoadLogs(const zyr::xml::KvtXmlDocument& document);
    // Deletes the whole log (without from) or the range; the list is emptied.
    HRESULT DeleteLogs(std::string_view user, std::optional<std::string_view> from, std::string_view to);

    LONG DisplaySet = 0;
    const std::vector<std::shared_ptr<CKVTLog>>& Entries() const { return entries_; }
    // Takes an entry out of the list; false when it is not there.
    bool Remove(const CKVTLog* entry);

    std::string_view ServerUrlText() const { return serverUrl_.view(); }

private:
    zyr::records::ServerUrl serverUrl_;
    std::vector<std::shared_ptr<CKVTLog>> entries_;
};

namespace zyr::records {
// Reads a log time: the server's "YYYY-MM-DD HH:MM:SS", ISO 8601
// ("YYYY-MM-DDTHH:MM:SS", fractions and a zone allowed and ignored) or the
// date and time form of the user's locale. False when none fits.
bool ParseLogTime(std::string_view text, std::tm& time);
// "%d/%d/%d %d:%d:%d": month, day, year, hour, minute, second.
std::string FormatLogDeleteTime(const std::tm& time);
} // namespace zyr::records
