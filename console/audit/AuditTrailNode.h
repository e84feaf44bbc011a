// The Audit Trail container: every change of the security database, with who
// made it from where and what it changed, one page of the server's trail at a
// time in its result pane, newest first. Read-only: paging through the "<" and
// ">" toolbar, Refresh, a filter (time range, account, kind of record, part of
// the name) applied by the server, and the list exported to a file. It is
// below the root only where the server answers the audit request.
#pragma once

#include "console/framework/PagedListNode.h"
#include "console/framework/Resources.h"
#include "console/framework/StartupHooks.h"
#include "records/AuditTrail.h"

#include <span>
#include <string>
#include <vector>

class CAuditTrailNode : public CPagedListNode<CAuditTrailNode> {
public:
    // {7D3E5B20-A4C2-4F18-B6E3-2A9F4D8C7B52}
    static constexpr NodeDescription kDescription{
        {0x7D3E5B20, 0xA4C2, 0x4F18, {0xB6, 0xE3, 0x2A, 0x9F, 0x4D, 0x8C, 0x7B, 0x52}}, u"Audit Trail"};
    static constexpr UINT kMenuId = zyr::console::IDR_AUDIT_MENU;
    static constexpr long ID_FILTER = 32882;
    // The picture of the container and of its records in the node image strip.
    static constexpr int kImage = 9;
    static std::span<const CommandEntry<CAuditTrailNode>> CommandTable();

    // The page the server answered at start, shown first.
    explicit CAuditTrailNode(std::vector<zyr::records::AuditEntry> firstPage = {});
    ~CAuditTrailNode() override;

    HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) override;
    LPOLESTR GetColumnText(int column) override;
    HRESULT OnShow(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                   DATA_OBJECT_TYPES type) override;
    HRESULT OnSelect(IConsole* console) override;
    HRESULT SetColumnHeaders(IHeaderCtrl* header) override;
    // "1 - 50 Audit Records", "(filtered)" after it while a filter is in use.
    HRESULT UpdateDescriptionBar(IConsole* console);

    // "Filter...": the filter dialog; after OK the first page of the new filter.
    HRESULT OnFilter(bool& handled, CSnapInObjectRootBase* root);
    // "Export List...": the records shown, as comma-separated values.
    HRESULT OnExportList(bool& handled, CSnapInObjectRootBase* root);

    const zyr::records::AuditFilter& Filter() const { return m_filter; }
    int PageNumber() const { return m_nPageNumber; }
    const std::vector<zyr::records::AuditEntry>& Entries() const { return m_entries; }

private:
    friend class CPagedListNode<CAuditTrailNode>;

    // Fetches page m_nPageNumber of m_filter and shows it; on failure the
    // reason is shown, and the page number and filter go back to what the
    // view shows.
    HRESULT ReloadPage(IConsole* console, int previousPage, const zyr::records::AuditFilter& previousFilter);
    HRESULT ReloadPage(IConsole* console, int previousPage)
    {
        return ReloadPage(console, previousPage, m_filter);
    }
    void MakeChildren();
    bool PageIsFull() const { return m_entries.size() >= zyr::records::kAuditPageSize; }

    zyr::records::AuditFilter m_filter;
    std::vector<zyr::records::AuditEntry> m_entries;
    bool m_bLoaded = false;
};

namespace zyr::console {
// The root's "Initializing Audit Trail Node" step: null when the server does
// not answer the audit request (the container is then left out).
CSnapInItem* CreateAuditTrailNode(StatusWindow* status);
} // namespace zyr::console
