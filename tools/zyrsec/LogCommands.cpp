#include "tools/zyrsec/Commands.h"

#include "common/RequestFrame.h"
#include "common/StringTable.h"
#include "records/Log.h"
#include "signin/SignIn.h"
#include "tools/zyrsec/TextTable.h"

#include <optional>

namespace zyr::zyrsec {

using zyr::ui::MB_ICONERROR;

namespace {

// The range of the log commands as the filter dialog gives it: the From date,
// and the day after the To date (the server's To is exclusive).
struct LogRange {
    bool given = false;
    std::string from;
    std::string to;
    std::string toInclusive;
};

std::optional<LogRange> ReadLogRange(Context& context)
{
    LogRange range;
    if (!context.invocation.Has("from")) {
        return range;
    }
    const LogDate from = *ParseLogDate(context.invocation.Option("from"));
    const LogDate to = *ParseLogDate(context.invocation.Option("to"));
    if (to < from) {
        ShowResource(context, zyr::IDS_FROM_DATE_AFTER_TO_DATE, MB_ICONERROR);
        return std::nullopt;
    }
    range.given = true;
    range.from = FormatLogDate(from);
    range.to = FormatLogDate(NextDay(to));
    range.toInclusive = FormatLogDate(to);
    return range;
}

} // namespace

int ShowLogs(Context& context)
{
    const std::optional<LogRange> range = ReadLogRange(context);
    if (!range) {
        return kExitFailed;
    }
    const long page =
        context.invocation.Has("page") ? *ParsePageNumber(context.invocation.Option("page")) : 0;
    CKVTLogList list;
    list.DisplaySet = page;
    HRESULT hr;
    {
        Progress progress(context);
        progress.Show("Fetching Log Data from the Server...");
        hr = range->given ? list.GetLogs(zyr::CurrentUserName(), std::string_view(range->from), range->to)
                          : list.GetLogs(zyr::CurrentUserName(), std::nullopt, {});
    }
    if (FAILED(hr)) {
        return Fail(context, "The log could not be fetched from the security server.");
    }
    Json entries = Json::Array();
    TextTable table({"DATE/TIME", "USER", "ACTION", "STATUS"});
    for (const auto& entry : list.Entries()) {
        Json item = Json::Object();
        item.Set("time", entry->DateTime.view());
        item.Set("user", entry->User.view());
        item.Set("action", entry->Action.view());
        item.Set("status", entry->Status.view());
        entries.Push(std::move(item));
        table.AddRow({std::string(entry->DateTime.view()), std::string(entry->User.view()),
                      std::string(entry->Action.view()), std::string(entry->Status.view())});
    }
    context.json.Set("page", page);
    if (range->given) {
        context.json.Set("from", range->from);
        context.json.Set("to", range->toInclusive);
    }
    context.json.Set("entries", std::move(entries));
    context.text = table.Render();
    return kExitSuccess;
}

int DeleteLogs(Context& context)
{
    const std::optional<LogRange> range = ReadLogRange(context);
    if (!range) {
        return kExitFailed;
    }
    const std::string question = range->given ? zyr::records::kDeleteLogRangePrefix + range->from +
                                                    zyr::records::kDeleteLogRangeMiddle + range->to
                                              : zyr::LoadStringAnsi(zyr::IDS_CONFIRM_DELETE_ALL_LOGS);
    if (!AskYes(context, question, Caption())) {
        return kExitFailed;
    }
    CKVTLogList list;
    const HRESULT hr = range->given
                           ? list.DeleteLogs(zyr::CurrentUserName(), std::string_view(range->from), range->to)
                           : list.DeleteLogs(zyr::CurrentUserName(), std::nullopt, {});
    if (FAILED(hr)) {
        return Fail(context, "The security server did not delete the log entries.");
    }
    Changed(context, range->given
                         ? "Deleted the log entries from " + range->from + " to " + range->toInclusive + "."
                         : std::string("Deleted every log entry."));
    return kExitSuccess;
}

} // namespace zyr::zyrsec
