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
#include "platform/ui/UiService.h"
#include "records/AccessReview.h"
#include "records/Application.h"
#include "roles/RoleList.h"

#include <cstring>
#include <ctime>

using zyr::com::ComPtr;

std::span<const CommandEntry<CRootNode>> CRootNode::CommandTable()
{
    static const CommandEntry<CRootNode> table[] = {
        {ID_ACCESS_REVIEW_REPORT, &CRootNode::OnAccessReviewReport},
    };
    return table;
}

HRESULT CRootNode::OnAccessReviewReport(bool&, CSnapInObjectRootBase* root)
{
    ComPtr<IConsole> console;
    GetConsole(root, console.Put()); // without a console the messages have no owner
    const HWND owner = zyr::console::MainWindowOf(console.get());
    const std::string caption = zyr::LoadStringAnsi(zyr::IDS_PROJNAME);
    const CKVTApplList* applications = zyr::records::CurrentApplList();
    const CKVTRoleList* roles = zyr::records::CurrentRoleList();
    if (applications == nullptr || roles == nullptr) {
        zyr::ui::Ui().MessageBox(owner, "The applications and roles have not been read from the server.",
                                 caption, zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
        return S_OK;
    }
    zyr::ui::FileDialog dialog;
    dialog.title = "Access Review Report";
    dialog.filter = "HTML Pages (*.html)|*.html|CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|";
    dialog.defaultExt = "html";
    dialog.initialName = "Access Review.html";
    dialog.overwritePrompt = true;
    std::string path;
    if (!zyr::ui::Ui().GetSaveFileName(owner, dialog, path)) {
        return S_OK;
    }
    const bool csv =
        path.size() >= 4 && zyr::text::EqualsNoCase(std::string_view(path).substr(path.size() - 4), ".csv");
    zyr::records::AccessReview review;
    {
        zyr::ui::WaitCursor wait;
        review = zyr::records::MakeAccessReview(*applications, *roles, zyr::records::kDefaultReviewDays,
                                                std::time(nullptr));
    }
    if (const int error = zyr::records::SaveAccessReview(path, review, csv)) {
        zyr::ui::Ui().MessageBox(
            owner, "The access review could not be written to " + path + ": " + std::strerror(error) + ".",
            caption, zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
        return S_OK;
    }
    std::string done = "The access review was written to " + path + ".";
    if (!review.auditRead) {
        done += "\n\nThe audit trail could not be read completely; the report says so.";
    }
    zyr::ui::Ui().MessageBox(owner, done, caption,
                             zyr::ui::MB_OK |
                                 (review.auditRead ? zyr::ui::MB_ICONINFORMATION : zyr::ui::MB_ICONWARNING));
    return S_OK;
}

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
