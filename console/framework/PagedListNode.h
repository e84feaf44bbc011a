// The container that shows one page of a server list at a time in its result
// pane: the page number, the "<" and ">" toolbar steps, Refresh from the
// first page, a fetched page put in place of the rows shown, the count in
// the description bar and "Export List..." over the console's window.
//
// T provides ReloadPage(IConsole*, int previousPage) (fetch page
// m_nPageNumber and hand it to ShowFetchedPage, or put the number back to
// previousPage on failure), MakeChildren(), UpdateDescriptionBar(IConsole*)
// and PageIsFull() (a shorter page is the last one).
#pragma once

#include "console/framework/KVTChildData.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/PagedList.h"
#include "console/framework/Resources.h"

#include <string>

template <typename T>
class CPagedListNode : public CKVTChildData<T> {
public:
    // The rows are result items; every paged list pages through the same
    // toolbar, with the same commands.
    static constexpr bool kResultChildren = true;
    static constexpr UINT kToolbars[] = {zyr::console::IDR_LOG_TOOLBAR};
    static constexpr long ID_PREVIOUS_PAGE = 32799;
    static constexpr long ID_NEXT_PAGE = 32800;
    static constexpr long ID_EXPORT_LIST = 32870;

    // Refresh starts again from the first page.
    HRESULT OnRefresh(IConsole* console) override
    {
        const int previousPage = m_nPageNumber;
        m_nPageNumber = 0;
        return Self().ReloadPage(console, previousPage);
    }

    // The "<" and ">" steps of the paging toolbar.
    HRESULT OnPreviousPage(bool& handled, CSnapInObjectRootBase* root) { return StepPage(-1, handled, root); }
    HRESULT OnNextPage(bool& handled, CSnapInObjectRootBase* root) { return StepPage(+1, handled, root); }

    int m_nPageNumber = 0;

protected:
    // One step of the paging toolbar (step -1 or +1): not handled before the
    // first page or past a short page; otherwise the page of the new number.
    HRESULT StepPage(int step, bool& handled, CSnapInObjectRootBase* root)
    {
        if (step < 0 ? m_nPageNumber == 0 : !Self().PageIsFull()) {
            handled = false;
            return S_OK;
        }
        zyr::com::ComPtr<IConsole> console;
        HRESULT hr = this->GetConsole(root, console.Put());
        if (FAILED(hr)) {
            return hr;
        }
        const int previousPage = m_nPageNumber;
        m_nPageNumber += step;
        return Self().ReloadPage(console.get(), previousPage);
    }

    // The rows of a page just fetched in place of those shown, the container
    // selected and its count in the description bar.
    HRESULT ShowFetchedPage(IConsole* console)
    {
        Self().MakeChildren();
        zyr::console::InsertResultItems(console, this->m_children, true);
        if (console != nullptr) {
            console->SelectScopeItem(this->m_scopeDataItem.ID);
        }
        return Self().UpdateDescriptionBar(console);
    }

    // "Export List...": text to a file the operator chooses, over the
    // console's window; the export report once written.
    HRESULT ExportList(CSnapInObjectRootBase* root, const std::string& initialName, const std::string& text)
    {
        zyr::com::ComPtr<IConsole> console;
        HWND owner = nullptr;
        if (SUCCEEDED(this->GetConsole(root, console.Put()))) {
            owner = zyr::console::MainWindowOf(console.get());
        }
        if (zyr::console::ExportListText(owner, initialName, text) != S_OK) {
            return S_OK;
        }
        return this->ReportExportSuccess(MMCN_BTN_CLICK, 0, root);
    }

private:
    T& Self() { return static_cast<T&>(*this); }
};
