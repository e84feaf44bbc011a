#include "tools/zyrsec/Commands.h"

#include "audit/ComplianceActivation.h"
#include "audit/ComplianceFlag.h"
#include "common/ServerSettings.h"
#include "records/AuditChange.h"
#include "records/AuditTrail.h"
#include "tools/zyrsec/TextTable.h"

#include <iterator>

namespace zyr::zyrsec {

using zyr::ui::MB_ICONERROR;
using zyr::ui::MB_ICONQUESTION;
using zyr::ui::MB_OK;
using zyr::ui::MB_YESNO;

namespace {

std::string ServerUrl()
{
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    return SUCCEEDED(GetSecurityServerUrl(buffer, &size)) ? std::string(buffer) : std::string();
}

} // namespace

int ComplianceStatus(Context& context)
{
    const std::string url = ServerUrl();
    VARIANT_BOOL flag = VARIANT_FALSE;
    const HRESULT hr = Get21CFR11Flag(url.c_str(), &flag);
    const bool notFunctional = IsAuditNotFunctional();
    context.json.Set("server", url);
    context.json.Set("compliance", SUCCEEDED(hr) ? Json(flag != VARIANT_FALSE) : Json());
    context.json.Set("audit_functional", !notFunctional);
    context.text =
        RenderFields({{"Server", url},
                      {"Compliance features", FAILED(hr) ? "unknown (the server did not answer)"
                                              : flag     ? "activated"
                                                         : "off"},
                      {"Audit path", notFunctional ? "not functional: changes are refused" : "functional"}});
    return kExitSuccess;
}

int ActivateCompliance(Context& context)
{
    const std::string url = ServerUrl();
    VARIANT_BOOL flag = VARIANT_FALSE;
    if (SUCCEEDED(Get21CFR11Flag(url.c_str(), &flag)) && flag != VARIANT_FALSE) {
        context.json.Set("changed", false);
        context.text = "The compliance-enabling features are already activated.\n";
        return kExitSuccess;
    }
    if (context.ui.MessageBox(nullptr, zyr::audit::kActivateQuestion, Caption(),
                              MB_YESNO | MB_ICONQUESTION) != zyr::ui::IDYES) {
        return kExitFailed;
    }
    const zyr::audit::ActivationOutcome outcome = zyr::audit::ActivateComplianceFeatures();
    if (FAILED(outcome.result)) {
        context.ui.MessageBox(nullptr, outcome.message, Caption(), MB_OK | MB_ICONERROR);
        return kExitFailed;
    }
    context.json.Set("changed", true);
    context.text = "The compliance-enabling features have been activated.\n";
    return kExitSuccess;
}

int ShowAuditTrail(Context& context)
{
    const Invocation& invocation = context.invocation;
    zyr::records::AuditFilter filter{invocation.Option("from"), invocation.Option("to"),
                                     invocation.Option("user"), invocation.Option("object"),
                                     invocation.Option("name")};
    const bool onePage = invocation.Has("page") || !invocation.Has("csv");
    long page = invocation.Has("page") ? *ParsePageNumber(invocation.Option("page")) : 0;
    const std::string url = ServerUrl();
    std::vector<zyr::records::AuditEntry> entries;
    // With --csv and no --page, every page of the filtered trail.
    for (;; ++page) {
        std::vector<zyr::records::AuditEntry> records;
        std::string why;
        if (FAILED(zyr::records::FetchAuditPage(url, filter, page, records, why))) {
            return Fail(context, why);
        }
        const bool last = records.size() < zyr::records::kAuditPageSize;
        entries.insert(entries.end(), std::make_move_iterator(records.begin()),
                       std::make_move_iterator(records.end()));
        if (onePage || last) {
            break;
        }
    }
    if (invocation.Has("csv")) {
        context.text = zyr::records::FormatAuditCsv(entries, "\n");
        return kExitSuccess;
    }
    Json array = Json::Array();
    TextTable table({"TIME", "USER", "COMPUTER", "OBJECT", "OPERATION", "NAME", "CHANGE"});
    for (const zyr::records::AuditEntry& e : entries) {
        const std::string change = zyr::records::ChangeSummary(e);
        Json item = Json::Object();
        item.Set("time", e.time);
        item.Set("user", e.user);
        item.Set("computer", e.computer);
        item.Set("object", e.object);
        item.Set("operation", e.operation);
        item.Set("identity", e.identity);
        item.Set("identity_name", e.name);
        item.Set("old_value", e.oldValue);
        item.Set("new_value", e.newValue);
        item.Set("change", change);
        array.Push(std::move(item));
        table.AddRow({e.time, e.user, e.computer, e.object, e.operation, e.name, change});
    }
    context.json.Set("page", page);
    context.json.Set("records", std::move(array));
    context.text = table.Render();
    return kExitSuccess;
}

} // namespace zyr::zyrsec
