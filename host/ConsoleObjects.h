// The COM objects that the snap-in sees of the console: thin adapters that
// forward each call to the ConsoleSession. The session detaches them when it
// stops, after which every call answers E_UNEXPECTED.
#pragma once

#include "host/ConsoleSession.h"

#include <vector>

namespace zyr::host {

// IConsole with the interfaces it answers to: IConsoleNameSpace, IResultData,
// IHeaderCtrl and IConsoleStatusBar. One for the snap-in, one for its view; both reach the one
// view this console has.
class ConsoleObject
    : public zyr::com::ComObject<IConsole, IConsoleNameSpace, IResultData, IHeaderCtrl, IConsoleStatusBar> {
public:
    explicit ConsoleObject(ConsoleSession* session) : session_(session) {}
    void Detach() { session_ = nullptr; }

    // IConsole
    HRESULT SetHeader(IHeaderCtrl* header) override;
    HRESULT SetToolbar(IToolbar* toolbar) override;
    HRESULT QueryResultView(IUnknown** unknown) override;
    HRESULT QueryScopeImageList(IImageList** imageList) override;
    HRESULT QueryResultImageList(IImageList** imageList) override;
    HRESULT UpdateAllViews(IDataObject* dataObject, LPARAM data, LONG_PTR hint) override;
    HRESULT MessageBox(LPCOLESTR text, LPCOLESTR title, UINT style, int* result) override;
    HRESULT QueryConsoleVerb(IConsoleVerb** verb) override;
    HRESULT SelectScopeItem(HSCOPEITEM item) override;
    HRESULT GetMainWindow(HWND* window) override;
    // IConsoleNameSpace
    HRESULT InsertItem(SCOPEDATAITEM* item) override;
    HRESULT DeleteItem(HSCOPEITEM item, long deleteThis) override;
    HRESULT SetItem(SCOPEDATAITEM* item) override;
    HRESULT GetItem(SCOPEDATAITEM* item) override;
    HRESULT GetChildItem(HSCOPEITEM item, HSCOPEITEM* child, MMC_COOKIE* cookie) override;
    HRESULT GetNextItem(HSCOPEITEM item, HSCOPEITEM* next, MMC_COOKIE* cookie) override;
    HRESULT GetParentItem(HSCOPEITEM item, HSCOPEITEM* parent, MMC_COOKIE* cookie) override;
    // IResultData
    HRESULT InsertItem(RESULTDATAITEM* item) override;
    HRESULT DeleteItem(HRESULTITEM itemID, int column) override;
    HRESULT FindItemByLParam(LPARAM lParam, HRESULTITEM* itemID) override;
    HRESULT DeleteAllRsltItems() override;
    HRESULT SetItem(RESULTDATAITEM* item) override;
    HRESULT GetItem(RESULTDATAITEM* item) override;
    HRESULT UpdateItem(HRESULTITEM itemID) override;
    HRESULT SetDescBarText(LPOLESTR text) override;
    HRESULT SetItemCount(int count, DWORD options) override;
    // IHeaderCtrl
    HRESULT InsertColumn(int column, LPCOLESTR title, int format, int width) override;
    HRESULT DeleteColumn(int column) override;
    HRESULT SetColumnText(int column, LPCOLESTR title) override;
    HRESULT SetColumnWidth(int column, int width) override;
    // IConsoleStatusBar
    HRESULT SetStatusText(LPCOLESTR text) override;

private:
    ConsoleSession* session_;
};

// The scope pane's or the result pane's image list.
class ImageListObject : public zyr::com::ComObject<IImageList> {
public:
    ImageListObject(ConsoleSession* session, ImageList* list) : session_(session), list_(list) {}
    void Detach() { session_ = nullptr; }
    HRESULT ImageListSetIcon(LONG_PTR* icon, long index) override;
    HRESULT ImageListSetStrip(HBITMAP smallStrip, HBITMAP largeStrip, long start, COLORREF mask) override;

private:
    ConsoleSession* session_;
    ImageList* list_;
};

class VerbObject : public zyr::com::ComObject<IConsoleVerb> {
public:
    explicit VerbObject(ConsoleSession* session) : session_(session) {}
    void Detach() { session_ = nullptr; }
    HRESULT GetVerbState(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL* value) override;
    HRESULT SetVerbState(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL value) override;
    HRESULT SetDefaultVerb(MMC_CONSOLE_VERB verb) override;
    HRESULT GetDefaultVerb(MMC_CONSOLE_VERB* verb) override;

private:
    ConsoleSession* session_;
};

class ToolbarObject : public zyr::com::ComObject<IToolbar> {
public:
    ToolbarObject(ConsoleSession* session, ToolbarModel* model) : session_(session), model_(model) {}
    void Detach() { session_ = nullptr; }
    ToolbarModel* Model() const { return session_ ? model_ : nullptr; }
    HRESULT AddBitmap(int images, HBITMAP bitmap, int width, int height, COLORREF mask) override;
    HRESULT AddButtons(int count, MMCBUTTON* buttons) override;
    HRESULT InsertButton(int index, MMCBUTTON* button) override;
    HRESULT DeleteButton(int index) override;
    HRESULT GetButtonState(int command, MMC_BUTTON_STATE state, BOOL* value) override;
    HRESULT SetButtonState(int command, MMC_BUTTON_STATE state, BOOL value) override;

private:
    ConsoleSession* session_;
    ToolbarModel* model_;
};

class ControlbarObject : public zyr::com::ComObject<IControlbar> {
public:
    explicit ControlbarObject(ConsoleSession* session) : session_(session) {}
    void Detach();
    HRESULT Create(MMC_CONTROL_TYPE type, IExtendControlbar* extend, IUnknown** control) override;
    HRESULT Attach(MMC_CONTROL_TYPE type, IUnknown* control) override;
    HRESULT Detach(IUnknown* control) override;

private:
    ToolbarObject* Find(IUnknown* control) const;

    ConsoleSession* session_;
    std::vector<zyr::com::ComPtr<ToolbarObject>> toolbars_;
};

// Collects the items a snap-in adds to a context menu.
class MenuCallbackObject : public zyr::com::ComObject<IContextMenuCallback> {
public:
    HRESULT AddItem(CONTEXTMENUITEM* item) override;
    std::vector<MenuEntry> entries;
};

// Collects the pages a snap-in adds to a property sheet.
class SheetCallbackObject : public zyr::com::ComObject<IPropertySheetCallback> {
public:
    HRESULT AddPage(HPROPSHEETPAGE page) override;
    HRESULT RemovePage(HPROPSHEETPAGE page) override;
    std::vector<IPropertyPage*> pages;
};

} // namespace zyr::host
