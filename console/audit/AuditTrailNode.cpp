#include "console/audit/AuditTrailNode.h"

#include "common/StringTable.h"
#include "console/audit/AuditRecordNode.h"
#include "console/framework/AuditTrailUi.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/PagedList.h"
#include "platform/ui/UiService.h"
#include "roles/RecordSupport.h"

#include <new>

using zyr::com::ComPtr;
using zyr::records::AuditEntry;
using zyr::records::AuditFilter;

namespace {

std::string Caption()
{
    return zyr::LoadStringAnsi(zyr::IDS_PROJNAME);
}

HRESULT FetchPage(const AuditFilter& filter, int page, std::vector<AuditEntry>& entries, std::string& why)
{
    return zyr::records::FetchAuditPage(zyr::records::ServerUrl::FromConfiguration().view(), filter, page,
                                        entries, why);
}

void ShowReadFailure(IConsole* console, const std::string& why)
{
    zyr::ui::Ui().MessageBox(zyr::console::MainWindowOf(console),
                             "The audit trail could not be read.\n" + why, Caption(),
                             zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
}

} // namespace

std::span<const CommandEntry<CAuditTrailNode>> CAuditTrailNode::CommandTable()
{
    static const CommandEntry<CAuditTrailNode> table[] = {
        {ID_PREVIOUS_PAGE, &CAuditTrailNode::OnPreviousPage},
        {ID_NEXT_PAGE, &CAuditTrailNode::OnNextPage},
        {ID_FILTER, &CAuditTrailNode::OnFilter},
        {ID_EXPORT_LIST, &CAuditTrailNode::OnExportList},
    };
    return table;
}

CAuditTrailNode::CAuditTrailNode(std::vector<AuditEntry> firstPage) : m_entries(std::move(firstPage))
{
    m_scopeDataItem.nImage = kImage;
    m_scopeDataItem.nOpenImage = kImage;
    m_bLoaded = !m_entries.empty();
}

CAuditTrailNode::~CAuditTrailNode()
{
    DestroyChildren();
}

HRESULT CAuditTrailNode::QueryPagesFor(DATA_OBJECT_TYPES)
{
    return S_FALSE;
}

LPOLESTR CAuditTrailNode::GetColumnText(int column)
{
    return ColumnTexts(column, {u"Audit Trail", u"Changes to the security database"});
}

HRESULT CAuditTrailNode::OnShow(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                                DATA_OBJECT_TYPES type)
{
    if (arg != 0 && !m_bLoaded) {
        zyr::ui::WaitCursor wait;
        std::string why;
        if (FAILED(FetchPage(m_filter, m_nPageNumber, m_entries, why))) {
            ShowReadFailure(console, why);
            return E_FAIL;
        }
        m_bLoaded = true;
    }
    if (arg != 0 && m_children.empty() && !m_entries.empty()) {
        MakeChildren();
    }
    return CKVTChildData<CAuditTrailNode>::OnShow(event, arg, param, console, type);
}

HRESULT CAuditTrailNode::OnSelect(IConsole* console)
{
    HRESULT hr = zyr::console::EnableVerbs(console, {MMC_VERB_REFRESH});
    if (FAILED(hr)) {
        return hr;
    }
    return UpdateDescriptionBar(console);
}

HRESULT CAuditTrailNode::SetColumnHeaders(IHeaderCtrl* header)
{
    // Narrow enough that the change, the column that matters most, starts in view.
    return zyr::console::InsertColumns(header, {{u"Time", 165},
                                                {u"User", 100},
                                                {u"Computer", 75},
                                                {u"Object", 65},
                                                {u"Operation", 70},
                                                {u"Name", 100},
                                                {u"Change", 400}});
}

HRESULT CAuditTrailNode::UpdateDescriptionBar(IConsole* console)
{
    std::string text =
        zyr::console::PageCountText(static_cast<int>(zyr::records::kAuditPageSize), m_nPageNumber,
                                    static_cast<int>(m_children.size()), "Audit Record", "Audit Records");
    // The bar holds 50 characters: the filter itself is in its dialog.
    if (!m_filter.Empty()) {
        text += " (filtered)";
    }
    return zyr::console::SetDescriptionBarText(console, text);
}

HRESULT CAuditTrailNode::OnFilter(bool&, CSnapInObjectRootBase* root)
{
    ComPtr<IConsole> console;
    GetConsole(root, console.Put()); // without a console the dialog has no owner
    AuditFilter chosen = m_filter;
    if (!zyr::console::CurrentAuditTrailUi().RunAuditFilterDialog(zyr::console::MainWindowOf(console.get()),
                                                                  chosen)) {
        return S_OK;
    }
    const AuditFilter previousFilter = m_filter;
    const int previousPage = m_nPageNumber;
    m_filter = std::move(chosen);
    m_nPageNumber = 0;
    return ReloadPage(console.get(), previousPage, previousFilter);
}

HRESULT CAuditTrailNode::ReloadPage(IConsole* console, int previousPage, const AuditFilter& previousFilter)
{
    std::vector<AuditEntry> entries;
    std::string why;
    HRESULT hr;
    {
        zyr::ui::WaitCursor wait;
        hr = FetchPage(m_filter, m_nPageNumber, entries, why);
    }
    if (FAILED(hr)) {
        // The view still shows what it showed; so do the number and filter.
        m_nPageNumber = previousPage;
        m_filter = previousFilter;
        ShowReadFailure(console, why);
        return hr;
    }
    m_entries = std::move(entries);
    m_bLoaded = true;
    return ShowFetchedPage(console);
}

void CAuditTrailNode::MakeChildren()
{
    // The console may still hold the cookies of the rows shown before.
    RetireChildren();
    for (const AuditEntry& entry : m_entries) {
        AppendChild(new (std::nothrow) CAuditRecordNode(entry, this));
    }
}

HRESULT CAuditTrailNode::OnExportList(bool&, CSnapInObjectRootBase* root)
{
    return ExportList(root, "Audit Trail.csv", zyr::records::FormatAuditCsv(m_entries));
}

namespace zyr::console {

CSnapInItem* CreateAuditTrailNode(StatusWindow*)
{
    std::vector<AuditEntry> firstPage;
    std::string why;
    if (FAILED(FetchPage({}, 0, firstPage, why))) {
        return nullptr;
    }
    return new (std::nothrow) CAuditTrailNode(std::move(firstPage));
}

} // namespace zyr::console
