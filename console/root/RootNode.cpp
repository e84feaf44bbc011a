#include "console/root/RootNode.h"

#include "common/StringTable.h"
#include "console/appl/ApplicationNode.h"
#include "console/audit/AuditTrailNode.h"
#include "console/framework/ClipboardFormats.h"
#include "console/framework/ModuleState.h"
#include "console/framework/NodeHelpers.h"
#include "console/log/LogNode.h"
#include "console/role/RoleNode.h"
#include "platform/text/CodePage.h"

using zyr::com::ComPtr;

CRootNode::CRootNode()
{
    // The console draws the root with the about object's folder images.
    m_scopeDataItem.nImage = -1;
    m_scopeDataItem.nOpenImage = -1;
}

HRESULT CRootNode::GetResultViewType(LPOLESTR* viewType, long* options)
{
    if (viewType == nullptr || options == nullptr) {
        return E_POINTER;
    }
    const std::string& path = zyr::console::ModulePath();
    if (path.empty()) {
        return CKVTChildData<CRootNode>::GetResultViewType(viewType, options);
    }
    std::string page = "res://" + path + "/WELCOMEPAGE.HTML";
    *viewType = CoTaskMemDupString(zyr::text::Widen(page));
    if (*viewType == nullptr) {
        return E_OUTOFMEMORY;
    }
    *options = MMC_VIEW_OPTIONS_NOLISTVIEWS;
    return S_OK;
}

HRESULT CRootNode::FillData(CLIPFORMAT format, IStream* stream)
{
    if (format == zyr::console::Formats().displayName && stream != nullptr) {
        return zyr::console::WriteWideText(stream, LoadStringResource(zyr::IDS_PROJNAME).value_or(u""));
    }
    return CKVTChildData<CRootNode>::FillData(format, stream);
}

HRESULT CRootNode::CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown*,
                                       DATA_OBJECT_TYPES type)
{
    if (type != CCT_SCOPE && type != CCT_RESULT && type != CCT_SNAPIN_MANAGER) {
        return E_UNEXPECTED;
    }
    return zyr::console::CurrentStartupHooks().AddCompliancePage(callback, notifyHandle);
}

HRESULT CRootNode::QueryPagesFor(DATA_OBJECT_TYPES type)
{
    return type == CCT_SCOPE || type == CCT_RESULT ? S_OK : S_FALSE;
}

HRESULT CRootNode::SetColumnHeaders(IHeaderCtrl*)
{
    return E_FAIL;
}

HRESULT CRootNode::OnSelect(IConsole* console)
{
    return zyr::console::EnableVerbs(console, {MMC_VERB_PROPERTIES});
}

namespace {

// One container below the root: the status text shown before it is made, and
// how it is made (given the status window). The container node kinds join
// this table as they are built; until then their step only shows its text.
struct ContainerStep {
    const char* statusText;
    CSnapInItem* (*create)(zyr::console::StatusWindow* status);
    // Left out, rather than ending the walk, when it cannot be made.
    bool optional = false;
};

constexpr ContainerStep kContainerSteps[] = {
    {"Initializing Application Node", &CreateApplicationNode},
    {"Initializing Role Node", &zyr::console::CreateRoleContainer},
    {"Initializing Log Node", &zyr::console::CreateLogNode},
    {"Initializing Audit Trail Node", &zyr::console::CreateAuditTrailNode, true},
};

} // namespace

BOOL CRootNode::InitChildren(zyr::console::StatusWindow* status)
{
    // The containers of applications, roles, logs and the audit trail are
    // appended in that order, each after its step is shown. A container whose
    // node kind is not part of this build is skipped, and so is the audit
    // trail where the server does not answer for it; any other that cannot
    // be made ends the walk.
    auto show = [status](const char* text) {
        if (status != nullptr) {
            status->ShowStep(text);
        }
    };
    for (const ContainerStep& step : kContainerSteps) {
        show(step.statusText);
        if (step.create == nullptr) {
            continue;
        }
        CSnapInItem* container = step.create(status);
        if (container == nullptr && step.optional) {
            continue;
        }
        if (!AppendChild(container)) {
            return 0;
        }
    }
    return 1;
}
