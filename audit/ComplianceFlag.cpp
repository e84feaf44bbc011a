#include "audit/ComplianceFlag.h"

#include "common/ServerSettings.h"
#include "common/StringTable.h"
#include "platform/ui/UiService.h"
#include "web/SecurityPost.h"

#include <string>

namespace {

struct ComplianceState {
    std::string flagText;
    float serverVersion = zyr::audit::kComplianceServerVersion;
    bool auditNotFunctional = false;
    bool noServerUrl = false;
};

ComplianceState& State()
{
    static ComplianceState state;
    return state;
}

std::string PostComplianceRequest(const std::string& url)
{
    return PostSecurityRequest(url, zyr::audit::kComplianceRequestBody);
}

bool Remember(bool answer)
{
    State().auditNotFunctional = answer;
    return answer;
}

} // namespace

HRESULT Get21CFR11Flag(const char* serverUrl, VARIANT_BOOL* flag)
{
    if (flag == nullptr) {
        return E_POINTER;
    }
    *flag = VARIANT_FALSE;
    ComplianceState& state = State();
    if (state.flagText == "true") {
        *flag = VARIANT_TRUE;
        return S_OK;
    }
    const std::string base = serverUrl != nullptr ? serverUrl : "";
    std::string reply = PostComplianceRequest(base + "?Object=KVTAPI&Operation=Get21CFR11Flag");
    if (reply.empty()) {
        std::string version = PostComplianceRequest(base + "?Operation=GetServerVersion");
        state.serverVersion = version.empty() ? 0.0f : zyr::audit::kComplianceServerVersion;
        return E_FAIL;
    }
    if (reply == "true") {
        *flag = VARIANT_TRUE;
        state.flagText = "true";
    }
    return S_OK;
}

bool IsAuditNotFunctional()
{
    ComplianceState& state = State();
    if (state.auditNotFunctional) {
        return true;
    }
    if (state.serverVersion < zyr::audit::kComplianceServerVersion) {
        return false;
    }
    char url[256] = {};
    DWORD size = sizeof(url);
    // A configuration without a URL names no server either.
    if (FAILED(GetSecurityServerUrl(url, &size)) || url[0] == '\0') {
        state.noServerUrl = true;
        return Remember(true);
    }
    VARIANT_BOOL flag = VARIANT_FALSE;
    if (FAILED(Get21CFR11Flag(url, &flag))) {
        return Remember(state.serverVersion >= zyr::audit::kComplianceServerVersion);
    }
    if (flag == VARIANT_FALSE) {
        return Remember(false);
    }
    std::string probe = PostComplianceRequest(std::string(url) + "?Computer=" + GetLocalComputerName());
    return Remember(probe == zyr::audit::kAuditNotFunctionalReply);
}

namespace zyr::audit {

const std::string& ComplianceFlagText()
{
    return State().flagText;
}

float ServerVersion()
{
    return State().serverVersion;
}

std::string AuditRefusalText()
{
    if (State().noServerUrl) {
        return "The security server URL is not configured, so the audit trail cannot be checked and changes "
               "are refused.";
    }
    return LoadStringAnsi(IDS_AUDIT_COMPONENTS_MISSING);
}

void ShowAuditRefusal()
{
    std::string caption = LoadStringAnsi(IDS_PROJNAME);
    if (caption.empty()) {
        caption = "ZYR Security Manager";
    }
    ui::Ui().MessageBox(nullptr, AuditRefusalText(), caption, ui::MB_ICONERROR | ui::MB_OK);
}

bool AuditNotFunctionalRemembered()
{
    return State().auditNotFunctional;
}

void ResetComplianceState()
{
    State() = ComplianceState{};
}

} // namespace zyr::audit
