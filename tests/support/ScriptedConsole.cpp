#include "tests/support/ScriptedConsole.h"

#include <algorithm>

namespace zyr::testing {

std::u16string ProtocolText(LPCOLESTR text)
{
    if (text == MMC_CALLBACK) {
        return u"<callback>";
    }
    return text == nullptr ? std::u16string() : std::u16string(text);
}

HRESULT ScriptedConsole::SetHeader(IHeaderCtrl* header)
{
    headers.push_back(header);
    return Record("SetHeader", S_OK);
}

HRESULT ScriptedConsole::QueryScopeImageList(IImageList** imageList)
{
    if (!offerScopeImageList) {
        return Record("QueryScopeImageList", E_FAIL);
    }
    AddRef();
    *imageList = this;
    return Record("QueryScopeImageList", S_OK);
}

HRESULT ScriptedConsole::QueryResultImageList(IImageList** imageList)
{
    AddRef();
    *imageList = this;
    return Record("QueryResultImageList", S_OK);
}

HRESULT ScriptedConsole::MessageBox(LPCOLESTR text, LPCOLESTR title, UINT style, int* result)
{
    boxes.push_back({ProtocolText(text), ProtocolText(title), style});
    int answer = 1; // IDOK
    if (!boxAnswers.empty()) {
        answer = boxAnswers.front();
        boxAnswers.pop_front();
    }
    if (result != nullptr) {
        *result = answer;
    }
    return Record("MessageBox", S_OK);
}

HRESULT ScriptedConsole::QueryConsoleVerb(IConsoleVerb** verb)
{
    AddRef();
    *verb = this;
    return Record("QueryConsoleVerb", S_OK);
}

HRESULT ScriptedConsole::SelectScopeItem(HSCOPEITEM item)
{
    selected.push_back(item);
    return Record("SelectScopeItem", S_OK);
}

HRESULT ScriptedConsole::GetMainWindow(HWND* window)
{
    if (SUCCEEDED(mainWindowResult)) {
        *window = mainWindow;
    }
    return Record("GetMainWindow", mainWindowResult);
}

HRESULT ScriptedConsole::InsertItem(SCOPEDATAITEM* item)
{
    if (SUCCEEDED(insertResult)) {
        item->ID = nextScope_++;
    }
    scopeInserts.push_back({*item, ProtocolText(item->displayname)});
    return Record("InsertItem(scope)", insertResult);
}

HRESULT ScriptedConsole::DeleteItem(HSCOPEITEM item, long)
{
    deletedScopes.push_back(item);
    return Record("DeleteItem(scope)", S_OK);
}

HRESULT ScriptedConsole::SetItem(SCOPEDATAITEM* item)
{
    changedScopes.push_back(item != nullptr ? item->ID : 0);
    return Record("SetItem(scope)", S_OK);
}

HRESULT ScriptedConsole::InsertItem(RESULTDATAITEM* item)
{
    if (SUCCEEDED(insertResult)) {
        item->itemID = nextResult_++;
    }
    resultInserts.push_back({*item, ProtocolText(item->str)});
    return Record("InsertItem(result)", insertResult);
}

HRESULT ScriptedConsole::DeleteItem(HRESULTITEM itemID, int)
{
    deletedResults.push_back(itemID);
    return Record("DeleteItem(result)", S_OK);
}

HRESULT ScriptedConsole::FindItemByLParam(LPARAM lParam, HRESULTITEM* itemID)
{
    for (const ResultInsert& insert : resultInserts) {
        if (insert.item.lParam == lParam) {
            *itemID = insert.item.itemID;
            return Record("FindItemByLParam", S_OK);
        }
    }
    return Record("FindItemByLParam", E_FAIL);
}

HRESULT ScriptedConsole::DeleteAllRsltItems()
{
    return Record("DeleteAllRsltItems", S_OK);
}

HRESULT ScriptedConsole::SetDescBarText(LPOLESTR text)
{
    descriptionBar.push_back(ProtocolText(text));
    return Record("SetDescBarText", S_OK);
}

HRESULT ScriptedConsole::InsertColumn(int column, LPCOLESTR title, int format, int width)
{
    columns.push_back({column, ProtocolText(title), format, width});
    return Record("InsertColumn", S_OK);
}

HRESULT ScriptedConsole::ImageListSetStrip(HBITMAP small, HBITMAP large, long start, COLORREF mask)
{
    strips.push_back({small, large, start, mask});
    return Record("ImageListSetStrip", S_OK);
}

HRESULT ScriptedConsole::SetVerbState(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL value)
{
    verbs.push_back({verb, state, value});
    return Record("SetVerbState", S_OK);
}

int ScriptedConsole::CountOf(const std::string& name) const
{
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const std::string& call) { return call.starts_with(name); }));
}

HRESULT ScriptedMenu::AddItem(CONTEXTMENUITEM* item)
{
    items.push_back({ProtocolText(item->strName), ProtocolText(item->strStatusBarText), item->lCommandID,
                     item->lInsertionPointID, item->fFlags, item->fSpecialFlags});
    return S_OK;
}

ScriptedSheet::~ScriptedSheet()
{
    for (HPROPSHEETPAGE page : pages) {
        page->Release();
    }
}

HRESULT ScriptedSheet::AddPage(HPROPSHEETPAGE page)
{
    if (page == nullptr) {
        return E_INVALIDARG;
    }
    pages.push_back(page);
    return S_OK;
}

HRESULT ScriptedSheet::RemovePage(HPROPSHEETPAGE page)
{
    auto found = std::find(pages.begin(), pages.end(), page);
    if (found == pages.end()) {
        return E_INVALIDARG;
    }
    pages.erase(found);
    page->Release();
    return S_OK;
}

HRESULT ScriptedToolbar::AddBitmap(int images, HBITMAP image, int, int, COLORREF)
{
    bitmap = image;
    bitmapImages = images;
    return S_OK;
}

HRESULT ScriptedToolbar::AddButtons(int count, MMCBUTTON* added)
{
    for (int i = 0; i < count; ++i) {
        InsertButton(static_cast<int>(buttons.size()), &added[i]);
    }
    return S_OK;
}

HRESULT ScriptedToolbar::InsertButton(int index, MMCBUTTON* button)
{
    Button entry{button->nBitmap,
                 button->idCommand,
                 button->fsState,
                 button->fsType,
                 ProtocolText(button->lpButtonText),
                 ProtocolText(button->lpTooltipText)};
    buttons.insert(buttons.begin() + std::clamp(index, 0, static_cast<int>(buttons.size())), entry);
    return S_OK;
}

HRESULT ScriptedToolbar::SetButtonState(int command, MMC_BUTTON_STATE state, BOOL value)
{
    states.push_back({command, state, value});
    return S_OK;
}

ScriptedControlbar::~ScriptedControlbar()
{
    for (ScriptedToolbar* toolbar : created) {
        toolbar->Release();
    }
}

HRESULT ScriptedControlbar::Create(MMC_CONTROL_TYPE type, IExtendControlbar*, IUnknown** control)
{
    if (type != TOOLBAR || control == nullptr) {
        return E_INVALIDARG;
    }
    auto* toolbar = new ScriptedToolbar;
    toolbar->AddRef();
    created.push_back(toolbar);
    *control = static_cast<IToolbar*>(toolbar);
    return S_OK;
}

HRESULT ScriptedControlbar::Attach(MMC_CONTROL_TYPE, IUnknown* control)
{
    attached.push_back(control);
    return S_OK;
}

HRESULT ScriptedControlbar::Detach(IUnknown* control)
{
    ++detachCount;
    attached.erase(std::remove(attached.begin(), attached.end(), control), attached.end());
    return S_OK;
}

} // namespace zyr::testing
