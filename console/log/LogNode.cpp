#include "console/log/LogNode.h"

#include "common/RequestFrame.h"
#include "common/StringTable.h"
#include "console/framework/LogUi.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/PagedList.h"
#include "console/log/LogCsv.h"
#include "console/log/LogInstanceNode.h"
#include "platform/ui/UiService.h"

#include <new>
#include <vector>

using zyr::com::ComPtr;

namespace {

std::string Caption()
{
    return zyr::LoadStringAnsi(zyr::IDS_PROJNAME);
}

} // namespace

std::span<const CommandEntry<CLogNode>> CLogNode::CommandTable()
{
    static const CommandEntry<CLogNode> table[] = {
        {ID_PREVIOUS_LOGS, &CLogNode::OnPreviousPage},
        {ID_NEXT_LOGS, &CLogNode::OnNextPage},
        {ID_EXPORT_LIST, &CLogNode::OnExportList},
    };
    return table;
}

CLogNode::CLogNode() : m_pLogList(std::make_unique<CKVTLogList>())
{
    m_scopeDataItem.nImage = 2;
    m_scopeDataItem.nOpenImage = 2;
}

CLogNode::~CLogNode()
{
    // The instance nodes shown refer to the list, so they go before it; the
    // retired ones, which the base destroys later, no longer touch it.
    DestroyChildren();
}

HRESULT CLogNode::QueryPagesFor(DATA_OBJECT_TYPES type)
{
    return type == CCT_SCOPE || type == CCT_RESULT ? S_OK : S_FALSE;
}

LPOLESTR CLogNode::GetColumnText(int column)
{
    return ColumnTexts(column, {u"Logs", u"Authentication & Authorization Logs", u"Action", u"Status"});
}

HRESULT CLogNode::OnShow(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                         DATA_OBJECT_TYPES type)
{
    if (arg != 0 && m_bFirstShow) {
        zyr::console::LogFilterChoice choice;
        if (zyr::console::CurrentLogUi().RunLogFilterDialog(zyr::console::MainWindowOf(console), choice)) {
            zyr::ui::WaitCursor wait;
            m_nPageNumber = 0;
            m_pLogList->DisplaySet = 0;
            HRESULT hr;
            if (choice.allLogs) {
                hr = m_pLogList->GetLogs(zyr::CurrentUserName(), std::nullopt, "");
                m_strFromDate.clear();
                m_strToDate.clear();
            } else {
                m_strFromDate = choice.fromText;
                m_strToDate = choice.toText;
                hr =
                    m_pLogList->GetLogs(zyr::CurrentUserName(), std::string_view(m_strFromDate), m_strToDate);
            }
            if (FAILED(hr)) {
                zyr::console::ShowFetchFailure(zyr::records::FetchResult::NotRead, "log entries");
                return hr;
            }
            MakeChildren();
            m_bFirstShow = false;
        }
    }
    // The console cleared the result pane before the show; the children are
    // listed as every container lists them.
    return CKVTChildData<CLogNode>::OnShow(event, arg, param, console, type);
}

HRESULT CLogNode::OnSelect(IConsole* console)
{
    HRESULT hr = zyr::console::EnableVerbs(console, {MMC_VERB_REFRESH, MMC_VERB_DELETE});
    if (FAILED(hr)) {
        return hr;
    }
    return UpdateDescriptionBar(console);
}

HRESULT CLogNode::SetColumnHeaders(IHeaderCtrl* header)
{
    return zyr::console::InsertColumns(
        header, {{u"Date/Time", 150}, {u"User", 150}, {u"Action", 150}, {u"Status", 150}});
}

HRESULT CLogNode::UpdateDescriptionBar(IConsole* console)
{
    // An empty page, and the view after a delete-all, show a count of 0.
    return zyr::console::SetDescriptionBarText(
        console, zyr::console::PageCountText(kPageSize, m_nPageNumber, static_cast<int>(m_children.size()),
                                             "Log Item", "Log Items"));
}

bool CLogNode::PageIsFull() const
{
    return m_pLogList->Entries().size() >= static_cast<size_t>(kPageSize);
}

HRESULT CLogNode::ReloadPage(IConsole* console, int previousPage)
{
    zyr::ui::WaitCursor wait;
    m_pLogList->DisplaySet = m_nPageNumber;
    // The texts go even when empty: an unfiltered container asks for the
    // range form with open ends.
    HRESULT hr = m_pLogList->GetLogs(zyr::CurrentUserName(), std::string_view(m_strFromDate), m_strToDate);
    if (FAILED(hr)) {
        zyr::console::ShowFetchFailure(zyr::records::FetchResult::NotRead, "log entries");
        // The view still shows the page before; so does the number, so that
        // the description bar and the next paging start from what is shown.
        m_nPageNumber = previousPage;
        return hr;
    }
    return ShowFetchedPage(console);
}

void CLogNode::MakeChildren()
{
    // The console may still hold the cookies of the items shown before (a
    // paging button clicked on one of them runs through that item), so the
    // old nodes are retired rather than destroyed.
    RetireChildren();
    for (const std::shared_ptr<CKVTLog>& entry : m_pLogList->Entries()) {
        AppendChild(new (std::nothrow) CLogInstanceNode(entry, m_pLogList.get(), this));
    }
}

HRESULT CLogNode::OnDelete(IConsole* console)
{
    const bool range = !m_strFromDate.empty() && !m_strToDate.empty();
    const std::string question =
        range ? "Are you sure you want to delete all logs from " + m_strFromDate + "  To " + m_strToDate
              : zyr::LoadStringAnsi(zyr::IDS_CONFIRM_DELETE_ALL_LOGS);
    if (zyr::ui::Ui().MessageBox(nullptr, question, Caption(), zyr::ui::MB_YESNO | zyr::ui::MB_ICONWARNING) !=
        zyr::ui::IDYES) {
        return S_OK;
    }
    HRESULT hr;
    {
        zyr::ui::WaitCursor wait;
        CKVTLogList deletion;
        hr = range ? deletion.DeleteLogs(zyr::CurrentUserName(), std::string_view(m_strFromDate), m_strToDate)
                   : deletion.DeleteLogs(zyr::CurrentUserName(), std::nullopt, "");
    }
    if (FAILED(hr)) {
        // The entries are still on the server, so they stay in the view.
        zyr::ui::Ui().MessageBox(nullptr, zyr::LoadStringAnsi(zyr::IDS_LOGS_NOT_DELETED), Caption(),
                                 zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
        return S_OK;
    }
    RetireChildren();
    if (ComPtr<IResultData> resultData = ComPtr<IConsole>::Share(console).As<IResultData>()) {
        resultData->DeleteAllRsltItems();
    }
    if (console != nullptr) {
        console->SelectScopeItem(m_scopeDataItem.ID);
    }
    return UpdateDescriptionBar(console);
}

HRESULT CLogNode::OnExportList(bool&, CSnapInObjectRootBase* root)
{
    std::vector<const CKVTLog*> entries;
    for (CSnapInItem* child : m_children) {
        if (auto* instance = dynamic_cast<CLogInstanceNode*>(child); instance != nullptr) {
            entries.push_back(instance->Entry());
        }
    }
    return ExportList(root, "Logs.csv", zyr::console::FormatLogCsv(entries));
}

namespace zyr::console {

CSnapInItem* CreateLogNode(StatusWindow*)
{
    return new (std::nothrow) CLogNode();
}

} // namespace zyr::console
