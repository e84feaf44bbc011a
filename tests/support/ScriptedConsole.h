// A console for tests of the snap-in: it implements the console side of the
// snap-in protocol, records every call in order, and answers message boxes
// from a script. Nodes of every kind run against it.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/mmc/ConsoleInterfaces.h"

#include <deque>
#include <string>
#include <vector>

namespace zyr::testing {

// A protocol text as a test reads it: MMC_CALLBACK as "<callback>", null as "".
std::u16string ProtocolText(LPCOLESTR text);

class ScriptedConsole : public com::ComObject<IConsole, IConsoleNameSpace, IResultData, IHeaderCtrl,
                                              IImageList, IConsoleVerb, IConsoleStatusBar> {
public:
    struct ScopeInsert {
        SCOPEDATAITEM item; // as the snap-in passed it (ID filled)
        std::u16string displayName;
    };
    struct ResultInsert {
        RESULTDATAITEM item; // itemID filled
        std::u16string text;
    };
    struct Column {
        int column;
        std::u16string title;
        int format;
        int width;
    };
    struct Verb {
        MMC_CONSOLE_VERB verb;
        MMC_BUTTON_STATE state;
        BOOL value;
    };
    struct Box {
        std::u16string text;
        std::u16string title;
        UINT style;
    };
    struct Strip {
        HBITMAP small;
        HBITMAP large;
        long start;
        COLORREF mask;
    };

    ScriptedConsole() = default;

    // IConsole
    HRESULT SetHeader(IHeaderCtrl* header) override;
    HRESULT SetToolbar(IToolbar*) override { return Record("SetToolbar", S_OK); }
    HRESULT QueryResultView(IUnknown**) override { return Record("QueryResultView", E_NOTIMPL); }
    HRESULT QueryScopeImageList(IImageList** imageList) override;
    HRESULT QueryResultImageList(IImageList** imageList) override;
    HRESULT UpdateAllViews(IDataObject*, LPARAM, LONG_PTR) override { return Record("UpdateAllViews", S_OK); }
    HRESULT MessageBox(LPCOLESTR text, LPCOLESTR title, UINT style, int* result) override;
    HRESULT QueryConsoleVerb(IConsoleVerb** verb) override;
    HRESULT SelectScopeItem(HSCOPEITEM item) override;
    HRESULT GetMainWindow(HWND* window) override;

    // IConsoleNameSpace
    HRESULT InsertItem(SCOPEDATAITEM* item) override;
    HRESULT DeleteItem(HSCOPEITEM item, long deleteThis) override;
    HRESULT SetItem(SCOPEDATAITEM* item) override;
    HRESULT GetItem(SCOPEDATAITEM*) override { return Record("GetItem(scope)", E_NOTIMPL); }
    HRESULT GetChildItem(HSCOPEITEM, HSCOPEITEM*, MMC_COOKIE*) override
    {
        return Record("GetChildItem", E_NOTIMPL);
    }
    HRESULT GetNextItem(HSCOPEITEM, HSCOPEITEM*, MMC_COOKIE*) override
    {
        return Record("GetNextItem", E_NOTIMPL);
    }
    HRESULT GetParentItem(HSCOPEITEM, HSCOPEITEM*, MMC_COOKIE*) override
    {
        return Record("GetParentItem", E_NOTIMPL);
    }

    // IResultData
    HRESULT InsertItem(RESULTDATAITEM* item) override;
    HRESULT DeleteItem(HRESULTITEM itemID, int column) override;
    HRESULT FindItemByLParam(LPARAM lParam, HRESULTITEM* itemID) override;
    HRESULT DeleteAllRsltItems() override;
    HRESULT SetItem(RESULTDATAITEM*) override { return Record("SetItem(result)", S_OK); }
    HRESULT GetItem(RESULTDATAITEM*) override { return Record("GetItem(result)", E_NOTIMPL); }
    HRESULT UpdateItem(HRESULTITEM itemID) override
    {
        updatedResults.push_back(itemID);
        return Record("UpdateItem", S_OK);
    }
    HRESULT SetDescBarText(LPOLESTR text) override;
    HRESULT SetItemCount(int, DWORD) override { return Record("SetItemCount", S_OK); }

    // IHeaderCtrl
    HRESULT InsertColumn(int column, LPCOLESTR title, int format, int width) override;
    HRESULT DeleteColumn(int) override { return Record("DeleteColumn", S_OK); }
    HRESULT SetColumnText(int, LPCOLESTR) override { return Record("SetColumnText", S_OK); }
    HRESULT SetColumnWidth(int, int) override { return Record("SetColumnWidth", S_OK); }

    // IImageList
    HRESULT ImageListSetIcon(LONG_PTR*, long) override { return Record("ImageListSetIcon", S_OK); }
    HRESULT ImageListSetStrip(HBITMAP small, HBITMAP large, long start, COLORREF mask) override;

    // IConsoleVerb
    HRESULT GetVerbState(MMC_CONSOLE_VERB, MMC_BUTTON_STATE, BOOL*) override
    {
        return Record("GetVerbState", S_OK);
    }
    HRESULT SetVerbState(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL value) override;
    HRESULT SetDefaultVerb(MMC_CONSOLE_VERB) override { return Record("SetDefaultVerb", S_OK); }
    HRESULT GetDefaultVerb(MMC_CONSOLE_VERB*) override { return Record("GetDefaultVerb", E_NOTIMPL); }

    // IConsoleStatusBar
    HRESULT SetStatusText(LPCOLESTR text) override
    {
        statusText = ProtocolText(text);
        return Record("SetStatusText", S_OK);
    }

    // How many calls whose record begins with name.
    int CountOf(const std::string& name) const;

    // Script.
    std::deque<int> boxAnswers; // IDOK for an empty queue
    HRESULT mainWindowResult = S_OK;
    HRESULT insertResult = S_OK;
    bool offerScopeImageList = true;
    HWND mainWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(0x5150));

    // Records.
    std::vector<std::string> calls;
    std::vector<ScopeInsert> scopeInserts;
    std::vector<ResultInsert> resultInserts;
    std::vector<Column> columns;
    std::vector<std::u16string> descriptionBar;
    std::u16string statusText;
    std::vector<Verb> verbs;
    std::vector<Box> boxes;
    std::vector<Strip> strips;
    std::vector<IHeaderCtrl*> headers;
    std::vector<HSCOPEITEM> selected;
    std::vector<HSCOPEITEM> deletedScopes;   // with their children
    std::vector<HRESULTITEM> deletedResults; // IResultData::DeleteItem
    std::vector<HSCOPEITEM> changedScopes;   // IConsoleNameSpace::SetItem
    std::vector<HRESULTITEM> updatedResults; // IResultData::UpdateItem

private:
    HRESULT Record(const std::string& call, HRESULT result)
    {
        calls.push_back(call);
        return result;
    }
    HSCOPEITEM nextScope_ = 0x100;
    HRESULTITEM nextResult_ = 0x1000;
};

// Records the items a snap-in adds to a context menu, with their texts.
class ScriptedMenu : public com::ComObject<IContextMenuCallback> {
public:
    struct Item {
        std::u16string name;
        std::u16string status;
        long commandId;
        long insertionPoint;
        long flags;
        long specialFlags;
    };
    HRESULT AddItem(CONTEXTMENUITEM* item) override;
    std::vector<Item> items;
};

// Records the pages a snap-in adds to a property sheet; releases them when
// the sheet goes, as the host's sheet does.
class ScriptedSheet : public com::ComObject<IPropertySheetCallback> {
public:
    ~ScriptedSheet() override;
    HRESULT AddPage(HPROPSHEETPAGE page) override;
    HRESULT RemovePage(HPROPSHEETPAGE page) override;
    std::vector<HPROPSHEETPAGE> pages;
};

class ScriptedToolbar : public com::ComObject<IToolbar> {
public:
    struct Button {
        int image;
        int command;
        BYTE state;
        BYTE type;
        std::u16string text;
        std::u16string tooltip;
    };
    struct ButtonState {
        int command;
        MMC_BUTTON_STATE state;
        BOOL value;
    };
    HRESULT AddBitmap(int images, HBITMAP bitmap, int width, int height, COLORREF mask) override;
    HRESULT AddButtons(int count, MMCBUTTON* buttons) override;
    HRESULT InsertButton(int index, MMCBUTTON* button) override;
    HRESULT DeleteButton(int) override { return S_OK; }
    HRESULT GetButtonState(int, MMC_BUTTON_STATE, BOOL*) override { return E_NOTIMPL; }
    HRESULT SetButtonState(int command, MMC_BUTTON_STATE state, BOOL value) override;

    HBITMAP bitmap = nullptr;
    int bitmapImages = 0;
    std::vector<Button> buttons;
    std::vector<ButtonState> states;
};

class ScriptedControlbar : public com::ComObject<IControlbar> {
public:
    ~ScriptedControlbar() override;
    HRESULT Create(MMC_CONTROL_TYPE type, IExtendControlbar* extend, IUnknown** control) override;
    HRESULT Attach(MMC_CONTROL_TYPE type, IUnknown* control) override;
    HRESULT Detach(IUnknown* control) override;

    std::vector<ScriptedToolbar*> created; // a reference held for each
    std::vector<IUnknown*> attached;       // in attach order, removed on detach
    int detachCount = 0;
};

} // namespace zyr::testing
