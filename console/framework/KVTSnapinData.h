// The node base of this snap-in: images, column texts, the console of the
// issuing object, the import and export reports, and the present flag.
#pragma once

#include "common/StringTable.h"
#include "console/framework/SnapInItemImpl.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

template <typename T>
class CKVTSnapinData : public CSnapInItemImpl<T> {
public:
    // The text of a result-pane column. The text stays valid until the same
    // column is asked again.
    virtual LPOLESTR GetColumnText(int column)
    {
        if (column == 0) {
            return ColumnText(column, this->m_bstrDisplayName);
        }
        return ColumnText(column, u"Generic Description");
    }

    virtual HRESULT GetConsole(CSnapInObjectRootBase* root, IConsole** console)
    {
        return zyr::console::ConsoleOf(root, console);
    }

    virtual HRESULT ReportImportSuccess(MMC_NOTIFY_TYPE event, LPARAM arg, CSnapInObjectRootBase* root)
    {
        (void)event;
        (void)arg;
        return Report(root, zyr::IDS_IMPORT_SUCCEEDED);
    }
    virtual HRESULT ReportExportSuccess(MMC_NOTIFY_TYPE event, LPARAM arg, CSnapInObjectRootBase* root)
    {
        (void)event;
        (void)arg;
        return Report(root, zyr::IDS_EXPORT_SUCCEEDED);
    }

    HRESULT GetResultPaneInfo(RESULTDATAITEM* item) override
    {
        if (item == nullptr) {
            return E_POINTER;
        }
        const bool scope = item->bScopeItem != 0;
        if (item->mask & RDI_STR) {
            item->str = GetColumnText(item->nCol);
        }
        if (item->mask & RDI_IMAGE) {
            item->nImage = scope ? this->m_scopeDataItem.nImage : this->m_resultDataItem.nImage;
        }
        if (item->mask & RDI_PARAM) {
            item->lParam = scope ? this->m_scopeDataItem.lParam : this->m_resultDataItem.lParam;
        }
        if (!scope && (item->mask & RDI_INDEX)) {
            item->nIndex = this->m_resultDataItem.nIndex;
        }
        return S_OK;
    }

    // Cleared by the delete operations on the deleted node.
    bool m_bPresent = true;

protected:
    // Keeps a column's text for the console to read.
    LPOLESTR ColumnText(int column, std::u16string_view text)
    {
        if (column < 0) {
            column = 0;
        }
        if (static_cast<size_t>(column) >= columnTexts_.size()) {
            columnTexts_.resize(static_cast<size_t>(column) + 1);
        }
        columnTexts_[static_cast<size_t>(column)] = text;
        return columnTexts_[static_cast<size_t>(column)].data();
    }
    // The text of column in a fixed row of texts; empty past its end.
    LPOLESTR ColumnTexts(int column, std::initializer_list<std::u16string_view> texts)
    {
        const bool listed = column >= 0 && static_cast<size_t>(column) < texts.size();
        return ColumnText(column, listed ? texts.begin()[column] : std::u16string_view());
    }
    // The same for texts in the configured code page.
    LPOLESTR ColumnTextA(int column, std::string_view text)
    {
        return ColumnText(column, zyr::text::Widen(text));
    }
    LPOLESTR ColumnTextsA(int column, std::initializer_list<std::string_view> texts)
    {
        const bool listed = column >= 0 && static_cast<size_t>(column) < texts.size();
        return ColumnTextA(column, listed ? texts.begin()[column] : std::string_view());
    }

    // The columns of a record listed by name and description; a node whose
    // record is gone shows empty columns.
    template <typename Record>
    LPOLESTR NameDescriptionColumnText(int column, const Record* record)
    {
        if (record == nullptr) {
            return ColumnText(column, u"");
        }
        return ColumnTextsA(column, {record->CN.view(), record->Description.view()});
    }

private:
    HRESULT Report(CSnapInObjectRootBase* root, UINT textId)
    {
        zyr::com::ComPtr<IConsole> console;
        HRESULT hr = GetConsole(root, console.Put());
        if (FAILED(hr)) {
            return hr;
        }
        zyr::console::ConsoleMessage(console.get(), textId, zyr::ui::MB_ICONINFORMATION);
        return S_OK;
    }

    std::vector<std::u16string> columnTexts_;
};
