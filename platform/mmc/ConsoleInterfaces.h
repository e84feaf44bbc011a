// The interfaces of the snap-in protocol. The console side (IConsole and its
// family) is implemented by a console host, or by a scripted console in tests;
// the snap-in side (IComponentData and its family) by a snap-in module. Node
// logic reaches the console only through these interfaces.
#pragma once

#include "platform/mmc/ConsoleTypes.h"

#include <string_view>

// Interface identities (values of this project's own choosing).
constexpr IID IID_IConsole = {0x7A1E0001, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x01}};
constexpr IID IID_IConsoleNameSpace = {
    0x7A1E0002, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x02}};
constexpr IID IID_IResultData = {
    0x7A1E0003, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x03}};
constexpr IID IID_IHeaderCtrl = {
    0x7A1E0004, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x04}};
constexpr IID IID_IImageList = {0x7A1E0005, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x05}};
constexpr IID IID_IConsoleVerb = {
    0x7A1E0006, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x06}};
constexpr IID IID_IContextMenuCallback = {
    0x7A1E0007, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x07}};
constexpr IID IID_IPropertySheetCallback = {
    0x7A1E0008, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x08}};
constexpr IID IID_IControlbar = {
    0x7A1E0009, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x09}};
constexpr IID IID_IToolbar = {0x7A1E000A, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x0A}};
constexpr IID IID_IComponentData = {
    0x7A1E0010, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x10}};
constexpr IID IID_IComponent = {0x7A1E0011, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x11}};
constexpr IID IID_IExtendPropertySheet = {
    0x7A1E0012, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x12}};
constexpr IID IID_IExtendContextMenu = {
    0x7A1E0013, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x13}};
constexpr IID IID_IExtendControlbar = {
    0x7A1E0014, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x14}};
constexpr IID IID_IPersistStream = {
    0x7A1E0015, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x15}};
constexpr IID IID_ISnapinHelp = {
    0x7A1E0016, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x16}};
constexpr IID IID_ISnapinAbout = {
    0x7A1E0017, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x17}};
constexpr IID IID_IDataObject = {
    0x7A1E0018, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x18}};
constexpr IID IID_IStream = {0x7A1E0019, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x19}};
constexpr IID IID_IConsoleStatusBar = {
    0x7A1E001A, 0x5C2D, 0x4E8B, {0x9A, 0x11, 0x3C, 0x6D, 0x20, 0x51, 0x00, 0x1A}};

struct IHeaderCtrl;
struct IImageList;
struct IConsoleVerb;
struct IToolbar;
struct IComponent;
struct IDataObject;
struct IExtendControlbar;

#define ZYR_INTERFACE(Name)                                                                                  \
    static const IID& InterfaceId()                                                                          \
    {                                                                                                        \
        return IID_##Name;                                                                                   \
    }                                                                                                        \
    using BaseInterface = IUnknown;

// ---- Console side -------------------------------------------------------

// The console of one view (or of the component data). It also answers
// QueryInterface for IConsoleNameSpace and IResultData.
struct IConsole : IUnknown {
    ZYR_INTERFACE(IConsole)
    virtual HRESULT SetHeader(IHeaderCtrl* header) = 0;
    virtual HRESULT SetToolbar(IToolbar* toolbar) = 0;
    virtual HRESULT QueryResultView(IUnknown** unknown) = 0;
    virtual HRESULT QueryScopeImageList(IImageList** imageList) = 0;
    virtual HRESULT QueryResultImageList(IImageList** imageList) = 0;
    virtual HRESULT UpdateAllViews(IDataObject* dataObject, LPARAM data, LONG_PTR hint) = 0;
    // style: the MB_* flags of platform/ui/UiService.h; *result: IDOK, IDYES, ...
    virtual HRESULT MessageBox(LPCOLESTR text, LPCOLESTR title, UINT style, int* result) = 0;
    virtual HRESULT QueryConsoleVerb(IConsoleVerb** verb) = 0;
    virtual HRESULT SelectScopeItem(HSCOPEITEM item) = 0;
    virtual HRESULT GetMainWindow(HWND* window) = 0;

protected:
    ~IConsole() = default;
};

// The console window's status bar, answered by a console that has one: the
// snap-in says there what the console works with (its server, its account).
struct IConsoleStatusBar : IUnknown {
    ZYR_INTERFACE(IConsoleStatusBar)
    virtual HRESULT SetStatusText(LPCOLESTR text) = 0;

protected:
    ~IConsoleStatusBar() = default;
};

struct IConsoleNameSpace : IUnknown {
    ZYR_INTERFACE(IConsoleNameSpace)
    // Fills item->ID with the new item's handle.
    virtual HRESULT InsertItem(SCOPEDATAITEM* item) = 0;
    virtual HRESULT DeleteItem(HSCOPEITEM item, long deleteThis) = 0;
    virtual HRESULT SetItem(SCOPEDATAITEM* item) = 0;
    virtual HRESULT GetItem(SCOPEDATAITEM* item) = 0;
    virtual HRESULT GetChildItem(HSCOPEITEM item, HSCOPEITEM* child, MMC_COOKIE* cookie) = 0;
    virtual HRESULT GetNextItem(HSCOPEITEM item, HSCOPEITEM* next, MMC_COOKIE* cookie) = 0;
    virtual HRESULT GetParentItem(HSCOPEITEM item, HSCOPEITEM* parent, MMC_COOKIE* cookie) = 0;

protected:
    ~IConsoleNameSpace() = default;
};

struct IResultData : IUnknown {
    ZYR_INTERFACE(IResultData)
    // Fills item->itemID with the new item's handle.
    virtual HRESULT InsertItem(RESULTDATAITEM* item) = 0;
    virtual HRESULT DeleteItem(HRESULTITEM itemID, int column) = 0;
    virtual HRESULT FindItemByLParam(LPARAM lParam, HRESULTITEM* itemID) = 0;
    virtual HRESULT DeleteAllRsltItems() = 0;
    virtual HRESULT SetItem(RESULTDATAITEM* item) = 0;
    virtual HRESULT GetItem(RESULTDATAITEM* item) = 0;
    virtual HRESULT UpdateItem(HRESULTITEM itemID) = 0;
    virtual HRESULT SetDescBarText(LPOLESTR text) = 0;
    virtual HRESULT SetItemCount(int count, DWORD options) = 0;

protected:
    ~IResultData() = default;
};

struct IHeaderCtrl : IUnknown {
    ZYR_INTERFACE(IHeaderCtrl)
    virtual HRESULT InsertColumn(int column, LPCOLESTR title, int format, int width) = 0;
    virtual HRESULT DeleteColumn(int column) = 0;
    virtual HRESULT SetColumnText(int column, LPCOLESTR title) = 0;
    virtual HRESULT SetColumnWidth(int column, int width) = 0;

protected:
    ~IHeaderCtrl() = default;
};

struct IImageList : IUnknown {
    ZYR_INTERFACE(IImageList)
    virtual HRESULT ImageListSetIcon(LONG_PTR* icon, long index) = 0;
    virtual HRESULT ImageListSetStrip(HBITMAP smallStrip, HBITMAP largeStrip, long start, COLORREF mask) = 0;

protected:
    ~IImageList() = default;
};

struct IConsoleVerb : IUnknown {
    ZYR_INTERFACE(IConsoleVerb)
    virtual HRESULT GetVerbState(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL* value) = 0;
    virtual HRESULT SetVerbState(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL value) = 0;
    virtual HRESULT SetDefaultVerb(MMC_CONSOLE_VERB verb) = 0;
    virtual HRESULT GetDefaultVerb(MMC_CONSOLE_VERB* verb) = 0;

protected:
    ~IConsoleVerb() = default;
};

struct IContextMenuCallback : IUnknown {
    ZYR_INTERFACE(IContextMenuCallback)
    virtual HRESULT AddItem(CONTEXTMENUITEM* item) = 0;

protected:
    ~IContextMenuCallback() = default;
};

struct IPropertySheetCallback : IUnknown {
    ZYR_INTERFACE(IPropertySheetCallback)
    // The sheet takes the page; it calls IPropertyPage::Release when done.
    virtual HRESULT AddPage(HPROPSHEETPAGE page) = 0;
    virtual HRESULT RemovePage(HPROPSHEETPAGE page) = 0;

protected:
    ~IPropertySheetCallback() = default;
};

struct IControlbar : IUnknown {
    ZYR_INTERFACE(IControlbar)
    virtual HRESULT Create(MMC_CONTROL_TYPE type, IExtendControlbar* extend, IUnknown** control) = 0;
    virtual HRESULT Attach(MMC_CONTROL_TYPE type, IUnknown* control) = 0;
    virtual HRESULT Detach(IUnknown* control) = 0;

protected:
    ~IControlbar() = default;
};

struct IToolbar : IUnknown {
    ZYR_INTERFACE(IToolbar)
    virtual HRESULT AddBitmap(int images, HBITMAP bitmap, int width, int height, COLORREF mask) = 0;
    virtual HRESULT AddButtons(int count, MMCBUTTON* buttons) = 0;
    virtual HRESULT InsertButton(int index, MMCBUTTON* button) = 0;
    virtual HRESULT DeleteButton(int index) = 0;
    virtual HRESULT GetButtonState(int command, MMC_BUTTON_STATE state, BOOL* value) = 0;
    virtual HRESULT SetButtonState(int command, MMC_BUTTON_STATE state, BOOL value) = 0;

protected:
    ~IToolbar() = default;
};

// A property page made by the snap-in. The host shows it as a tab of a sheet.
// The page's window is a widget of the host's toolkit, created as a child of
// the sheet window the host passes.
struct IPropertySheetSite {
    // PSM_CHANGED: the page has changes; the host enables Apply.
    virtual void PageChanged(IPropertyPage* page) = 0;
    virtual HWND SheetWindow() = 0;

protected:
    ~IPropertySheetSite() = default;
};

struct IPropertyPage {
    virtual std::u16string_view Title() = 0;
    virtual HWND CreatePageWindow(HWND parent, IPropertySheetSite* site) = 0;
    virtual void OnSetActive() {}
    // PSN_APPLY: TRUE lets the sheet apply or close; FALSE keeps it open on
    // this page.
    virtual BOOL OnApply() = 0;
    virtual void OnCancel() {}
    // The sheet is done with the page; the page destroys itself.
    virtual void Release() = 0;

protected:
    ~IPropertyPage() = default;
};

// Tells the console that a property sheet changed an item: the host calls
// the component's Notify with MMCN_PROPERTY_CHANGE and param on the console's
// thread. The host installs the handler at start.
HRESULT MMCPropertyChangeNotify(LONG_PTR notifyHandle, LPARAM param);
HRESULT MMCFreeNotifyHandle(LONG_PTR notifyHandle);
using PropertyChangeHandler = HRESULT (*)(LONG_PTR notifyHandle, LPARAM param);
void InstallPropertyChangeHandler(PropertyChangeHandler handler);

// ---- Snap-in side -------------------------------------------------------

struct IStream : IUnknown {
    ZYR_INTERFACE(IStream)
    virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
    virtual HRESULT Write(const void* buffer, ULONG size, ULONG* written) = 0;

protected:
    ~IStream() = default;
};

struct IDataObject : IUnknown {
    ZYR_INTERFACE(IDataObject)
    virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(DWORD direction, IUnknown** enumerator) = 0;
    virtual HRESULT DAdvise(FORMATETC* format, DWORD flags, IUnknown* sink, DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;
    virtual HRESULT EnumDAdvise(IUnknown** enumerator) = 0;

protected:
    ~IDataObject() = default;
};

struct IComponentData : IUnknown {
    ZYR_INTERFACE(IComponentData)
    virtual HRESULT Initialize(IUnknown* console) = 0;
    virtual HRESULT CreateComponent(IComponent** component) = 0;
    virtual HRESULT Notify(IDataObject* dataObject, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) = 0;
    virtual HRESULT Destroy() = 0;
    virtual HRESULT QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, IDataObject** dataObject) = 0;
    virtual HRESULT GetDisplayInfo(SCOPEDATAITEM* item) = 0;
    virtual HRESULT CompareObjects(IDataObject* a, IDataObject* b) = 0;

protected:
    ~IComponentData() = default;
};

struct IComponent : IUnknown {
    ZYR_INTERFACE(IComponent)
    virtual HRESULT Initialize(IConsole* console) = 0;
    virtual HRESULT Notify(IDataObject* dataObject, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) = 0;
    virtual HRESULT Destroy(MMC_COOKIE cookie) = 0;
    virtual HRESULT QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, IDataObject** dataObject) = 0;
    // *viewType: null for the standard list view, or a CoTaskMemAlloc'd text
    // such as "res://<module path>/WELCOMEPAGE.HTML" naming an HTML resource.
    virtual HRESULT GetResultViewType(MMC_COOKIE cookie, LPOLESTR* viewType, long* options) = 0;
    virtual HRESULT GetDisplayInfo(RESULTDATAITEM* item) = 0;
    virtual HRESULT CompareObjects(IDataObject* a, IDataObject* b) = 0;

protected:
    ~IComponent() = default;
};

struct IExtendPropertySheet : IUnknown {
    ZYR_INTERFACE(IExtendPropertySheet)
    virtual HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                        IDataObject* dataObject) = 0;
    virtual HRESULT QueryPagesFor(IDataObject* dataObject) = 0;

protected:
    ~IExtendPropertySheet() = default;
};

struct IExtendContextMenu : IUnknown {
    ZYR_INTERFACE(IExtendContextMenu)
    virtual HRESULT AddMenuItems(IDataObject* dataObject, IContextMenuCallback* callback,
                                 long* insertionAllowed) = 0;
    virtual HRESULT Command(long commandId, IDataObject* dataObject) = 0;

protected:
    ~IExtendContextMenu() = default;
};

struct IExtendControlbar : IUnknown {
    ZYR_INTERFACE(IExtendControlbar)
    virtual HRESULT SetControlbar(IControlbar* controlbar) = 0;
    virtual HRESULT ControlbarNotify(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) = 0;

protected:
    ~IExtendControlbar() = default;
};

struct IPersistStream : IUnknown {
    ZYR_INTERFACE(IPersistStream)
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* size) = 0;

protected:
    ~IPersistStream() = default;
};

struct ISnapinHelp : IUnknown {
    ZYR_INTERFACE(ISnapinHelp)
    virtual HRESULT GetHelpTopic(LPOLESTR* compiledHelpFile) = 0;

protected:
    ~ISnapinHelp() = default;
};

struct ISnapinAbout : IUnknown {
    ZYR_INTERFACE(ISnapinAbout)
    virtual HRESULT GetSnapinDescription(LPOLESTR* description) = 0;
    virtual HRESULT GetProvider(LPOLESTR* name) = 0;
    virtual HRESULT GetSnapinVersion(LPOLESTR* version) = 0;
    virtual HRESULT GetSnapinImage(HBITMAP* icon) = 0;
    virtual HRESULT GetStaticFolderImage(HBITMAP* smallImage, HBITMAP* smallOpenImage, HBITMAP* largeImage,
                                         COLORREF* mask) = 0;

protected:
    ~ISnapinAbout() = default;
};

#undef ZYR_INTERFACE

// Task memory for texts handed across the protocol (the receiver frees them).
void* CoTaskMemAlloc(size_t size);
void CoTaskMemFree(void* block);
// A CoTaskMemAlloc'd copy of text with its terminator; null when out of memory.
LPOLESTR CoTaskMemDupString(std::u16string_view text);
