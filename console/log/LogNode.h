// The Logs container: one page of the server's authentication and
// authorization log at a time in its result pane, the date filter asked for
// the first time it is shown, paging through the "<" and ">" toolbar, Refresh,
// delete-all of its range, and the list exported to a file.
#pragma once

#include "console/framework/PagedListNode.h"
#include "console/framework/Resources.h"
#include "console/framework/StartupHooks.h"
#include "records/Log.h"

#include <memory>
#include <span>
#include <string>

class CLogInstanceNode;

class CLogNode : public CPagedListNode<CLogNode> {
public:
    // {6C2F4A10-93B1-4E07-A5D2-1F8E3C7B6A41}
    static constexpr NodeDescription kDescription{
        {0x6C2F4A10, 0x93B1, 0x4E07, {0xA5, 0xD2, 0x1F, 0x8E, 0x3C, 0x7B, 0x6A, 0x41}}, u"Logs"};
    static constexpr UINT kMenuId = zyr::console::IDR_LOG_MENU;
    static constexpr long ID_PREVIOUS_LOGS = ID_PREVIOUS_PAGE;
    static constexpr long ID_NEXT_LOGS = ID_NEXT_PAGE;
    // The server's page size; a shorter page is the last one.
    static constexpr int kPageSize = 50;
    static std::span<const CommandEntry<CLogNode>> CommandTable();

    CLogNode();
    ~CLogNode() override;

    HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) override;
    LPOLESTR GetColumnText(int column) override;
    // The first show asks for the range and fetches page 0; every show lists
    // the entries of the page.
    HRESULT OnShow(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                   DATA_OBJECT_TYPES type) override;

    HRESULT OnSelect(IConsole* console) override;
    HRESULT SetColumnHeaders(IHeaderCtrl* header) override;
    HRESULT OnDelete(IConsole* console) override;
    virtual HRESULT UpdateDescriptionBar(IConsole* console);

    // "Export List...": the entries shown, as comma-separated values, to a
    // file the operator chooses.
    HRESULT OnExportList(bool& handled, CSnapInObjectRootBase* root);

    CKVTLogList& LogList() { return *m_pLogList; }

    // The range of the filter dialog; both empty when all logs were chosen.
    std::string m_strFromDate;
    std::string m_strToDate;
    bool m_bFirstShow = true;

private:
    friend class CPagedListNode<CLogNode>;

    // Fetches the page m_nPageNumber of the range and shows it; on failure the
    // page number goes back to previousPage and the view stays as it was.
    HRESULT ReloadPage(IConsole* console, int previousPage);
    // Replaces the children with one instance node per entry of the list.
    void MakeChildren();
    bool PageIsFull() const;

    std::unique_ptr<CKVTLogList> m_pLogList;
};

namespace zyr::console {
// The root's "Initializing Log Node" step.
CSnapInItem* CreateLogNode(StatusWindow* status);
} // namespace zyr::console
