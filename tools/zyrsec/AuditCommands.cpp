#include "tools/zyrsec/Commands.h"

#include "audit/ComplianceActivation.h"
#include "audit/ComplianceFlag.h"
#include "common/KvtXml.h"
#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "tools/zyrsec/TextTable.h"
#include "web/WebPage.h"

#include <memory>

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
    const long page =
        context.invocation.Has("page") ? *ParsePageNumber(context.invocation.Option("page")) : 0;
    zyr::RequestUrl url(ServerUrl(), "Audit", "Get");
    url.Number("DisplaySet", page);
    std::string reply;
    if (!GetWebPage(url.str(), reply, true)) {
        return Fail(context, "The audit trail could not be fetched from the security server.");
    }
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    zyr::xml::KvtXmlElement trail;
    zyr::xml::KvtXmlElementCollection records;
    LONG count = 0;
    if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document ||
        FAILED(document->put_XmlString(std::move(reply))) ||
        FAILED(document->FindElement(nullptr, "KVTAUDIT", trail)) || FAILED(trail.get_children(records)) ||
        FAILED(records.get_length(&count))) {
        return Fail(context, "The security server's audit trail could not be read.");
    }
    static const char* const kFields[] = {"time",     "user",          "computer",  "object",   "operation",
                                          "identity", "identity_name", "old_value", "new_value"};
    Json array = Json::Array();
    TextTable table({"TIME", "USER", "OBJECT", "OPERATION", "NAME"});
    std::string details;
    // The last child is the count, not a record.
    for (LONG i = 0; i + 1 < count; ++i) {
        zyr::xml::KvtXmlElement record;
        zyr::xml::KvtXmlElementCollection fields;
        LONG fieldCount = 0;
        if (FAILED(records.item(i, record)) || FAILED(record.get_children(fields)) ||
            FAILED(fields.get_length(&fieldCount)) || fieldCount < 9) {
            continue;
        }
        std::string values[9];
        Json item = Json::Object();
        for (LONG f = 0; f < 9; ++f) {
            zyr::xml::KvtXmlElement field;
            if (SUCCEEDED(fields.item(f, field))) {
                document->GetElementText(field, values[f]);
            }
            item.Set(kFields[f], values[f]);
        }
        array.Push(std::move(item));
        table.AddRow({values[0], values[1], values[3], values[4], values[6]});
    }
    context.json.Set("page", page);
    context.json.Set("records", std::move(array));
    context.text = table.Render();
    return kExitSuccess;
}

} // namespace zyr::zyrsec
