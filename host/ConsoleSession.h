// The console's side of the snap-in protocol, without widgets: it loads one
// snap-in, keeps the scope items and the result pane of one view, routes the
// operator's actions to the snap-in as notifications and commands, and tells
// an observer (the main window, or a test) what changed.
//
// The session's members are defined by concern: lifetime, settling and
// notifications in ConsoleSession.cpp, the scope tree in SessionScopeTree.cpp,
// the selection and result pane in SessionResultPane.cpp, verbs in
// SessionVerbs.cpp, context menus in SessionMenus.cpp, toolbars in
// SessionToolbars.cpp and property sheets in SessionSheets.cpp.
#pragma once

#include "host/ImageList.h"
#include "platform/com/Unknown.h"
#include "platform/mmc/ConsoleInterfaces.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace zyr::host {

// What the console shows and changes, reported as it happens.
class ConsoleObserver {
public:
    virtual ~ConsoleObserver() = default;
    virtual void ScopeItemInserted(HSCOPEITEM) {}
    virtual void ScopeItemChanged(HSCOPEITEM) {}
    // The item (when deleteThis) or only its children are gone.
    virtual void ScopeItemsRemoved(HSCOPEITEM, bool /*deleteThis*/) {}
    // The scope item whose result pane is shown now (0 for none).
    virtual void ShownScopeChanged(HSCOPEITEM) {}
    virtual void ResultPaneChanged() {}
    virtual void DescriptionChanged() {}
    virtual void StatusTextChanged() {}
    virtual void VerbsChanged() {}
    virtual void ToolbarsChanged() {}
    virtual void ImagesChanged() {}
    // The window that owns the snap-in's message boxes.
    virtual HWND OwnerWindow() { return nullptr; }
};

// The texts and the picture of a snap-in's about object.
struct SnapinAbout {
    std::u16string description;
    std::u16string provider;
    std::u16string version;
    std::vector<unsigned char> imagePng;
};

struct ScopeItem {
    HSCOPEITEM id = 0;
    HSCOPEITEM parent = 0;
    std::vector<HSCOPEITEM> children;
    MMC_COOKIE cookie = 0;
    std::u16string name;
    bool nameCallback = false;
    int image = 0;
    int openImage = 0;
    bool imageCallback = false;
    // SDI_CHILDREN when given; -1 when the snap-in did not say.
    int childrenHint = -1;
    bool expanded = false;
};

struct ResultColumn {
    std::u16string title;
    int format = 0;
    int width = 0;
};

struct ResultRow {
    HRESULTITEM id = 0;
    MMC_COOKIE cookie = 0;
    bool scopeItem = false;
    HSCOPEITEM scopeId = 0; // for scope items listed in the pane
    bool fixedText = false; // column 0 given at insertion, not asked for
    bool imageCallback = false;
    std::vector<std::u16string> texts; // one per column
    int image = 0;
};

// The item an action concerns: a scope item, or a result item of the pane.
struct Target {
    bool scope = true;
    HSCOPEITEM scopeId = 0;   // for scope items
    HRESULTITEM resultId = 0; // the row, when selected in the result pane
    MMC_COOKIE cookie = 0;
    explicit operator bool() const { return scope ? scopeId != 0 : resultId != 0; }
    // Selected in the scope pane (the LOWORD of MMCN_SELECT's arg).
    bool InScopePane() const { return scope && resultId == 0; }
};

struct MenuEntry {
    std::u16string name;
    std::u16string statusText;
    long commandId = 0;
    long insertionPoint = 0;
    long flags = 0;
};

struct ToolbarButton {
    int image = 0;
    int command = 0;
    BYTE state = 0;
    BYTE type = 0;
    std::u16string text;
    std::u16string tooltip;
};

struct ToolbarModel {
    bool attached = false;
    ImageList images;
    std::vector<ToolbarButton> buttons;
    IExtendControlbar* owner = nullptr; // not held
};

// The pages a property sheet got from the snap-in, with what they concern.
struct SheetRequest {
    Target target;
    std::u16string title;
    LONG_PTR notifyHandle = 0;
    std::vector<IPropertyPage*> pages; // owned until each page's Release
};

class ConsoleSession;
class ConsoleObject;
class ControlbarObject;
class ImageListObject;
class ToolbarObject;
class VerbObject;

class ConsoleSession {
public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    void SetObserver(ConsoleObserver* observer) { observer_ = observer; }

    // Creates the snap-in, initialises it with this console, creates the view
    // component and inserts the root item.
    HRESULT Start(const CLSID& clsid);
    // Destroys the view component and the snap-in (also done by the destructor).
    void Stop();
    bool Started() const { return static_cast<bool>(componentData_); }

    // ---- Scope items ----
    HSCOPEITEM Root() const { return root_; }
    const ScopeItem* Item(HSCOPEITEM id) const;
    // The display name, asked from the snap-in when it keeps it.
    std::u16string ItemName(HSCOPEITEM id);
    int ItemImage(HSCOPEITEM id, bool open);
    // Path of display names from the root, joined by '/'.
    HSCOPEITEM FindByPath(const std::u16string& path);
    // MMCN_EXPAND the first time; the children arrive through InsertItem.
    HRESULT Expand(HSCOPEITEM id);

    // ---- Selection and the result pane ----
    // Hides the pane of the previous scope item and shows the one of id:
    // view type, images, columns, result items, verbs.
    HRESULT SelectScope(HSCOPEITEM id);
    HSCOPEITEM ShownScope() const { return shown_; }
    // Selects a row of the result pane (0 clears the row selection and makes
    // the shown scope item the focus again).
    HRESULT SelectResult(HRESULTITEM row);
    const Target& Focus() const { return focus_; }

    const std::vector<ResultColumn>& Columns() const { return columns_; }
    const std::vector<ResultRow>& Rows() const { return rows_; }
    const ResultRow* Row(HRESULTITEM id) const;
    // The first result item (not a scope item) of the pane with the cookie; 0 for none.
    HRESULTITEM ResultRowOfCookie(MMC_COOKIE cookie) const;
    const std::u16string& Description() const { return description_; }
    // What the snap-in put in the status bar: its server and account, say.
    const std::u16string& StatusText() const { return statusText_; }
    // The HTML file that a "res://MODULE/NAME" view type names (the file
    // NAME beside the module); empty for the standard list view.
    const std::string& HtmlView() const { return htmlView_; }
    bool ListViewAllowed() const { return listViewAllowed_; }

    // ---- Verbs ----
    bool VerbEnabled(MMC_CONSOLE_VERB verb) const;
    MMC_CONSOLE_VERB DefaultVerb() const { return defaultVerb_; }
    HRESULT DeleteFocus();
    // A double click on the focus: MMCN_DBLCLICK to the view; true when the
    // snap-in leaves the default action to the console.
    bool DoubleClickFocus();
    HRESULT RefreshFocus();
    // Asks the snap-in for the pages of the focus (or of target). Answers
    // S_FALSE when it has none. The caller shows them and ends the sheet with
    // EndSheet.
    HRESULT QueryProperties(const Target& target, SheetRequest& sheet);
    void EndSheet(SheetRequest& sheet);
    // Delivers MMCPropertyChangeNotify of a sheet to the view component.
    HRESULT PropertyChanged(LONG_PTR notifyHandle, LPARAM param);

    // ---- Context menus ----
    // The snap-in's items for target; allowed carries CCM_INSERTIONALLOWED_*.
    HRESULT BuildMenu(const Target& target, long allowed, std::vector<MenuEntry>& entries);
    HRESULT Command(const Target& target, long commandId);

    // ---- Toolbars ----
    const std::vector<std::unique_ptr<ToolbarModel>>& Toolbars() const { return toolbars_; }
    HRESULT ClickButton(const ToolbarModel& toolbar, int command);

    // ---- Help and about ----
    // What the snap-in's about object tells; false without one.
    bool AboutSnapin(SnapinAbout& about) const;
    // The snap-in's help file; empty when it names none.
    std::string HelpFile() const;
    // The names from the root down to the item, joined by separator.
    std::u16string ItemPath(HSCOPEITEM id, std::u16string_view separator);

    // ---- Images ----
    const ImageList& ScopeImages() const { return scopeImages_; }
    const ImageList& ResultImages() const { return resultImages_; }

    HRESULT ConsoleMessageBox(LPCOLESTR text, LPCOLESTR title, UINT style, int* result);
    HWND MainWindow() { return observer_ ? observer_->OwnerWindow() : nullptr; }

    // Data objects: scope items from the snap-in, result items from the view.
    zyr::com::ComPtr<IDataObject> DataObjectOf(const Target& target);
    Target ScopeTarget(HSCOPEITEM id) const;
    Target ResultTarget(HRESULTITEM id) const;

    IComponentData* Snapin() const { return componentData_.get(); }
    IComponent* View() const { return component_.get(); }

private:
    friend class ConsoleObject;
    friend class ControlbarObject;
    friend class ImageListObject;
    friend class ToolbarObject;
    friend class VerbObject;

    // Console-side operations behind the interfaces.
    HRESULT InsertScopeItem(SCOPEDATAITEM* item);
    HRESULT DeleteScopeItem(HSCOPEITEM id, long deleteThis);
    HRESULT SetScopeItem(const SCOPEDATAITEM* item);
    HRESULT GetScopeItem(SCOPEDATAITEM* item);
    HRESULT InsertResultItem(RESULTDATAITEM* item);
    HRESULT DeleteResultItem(HRESULTITEM id);
    HRESULT SetResultItem(const RESULTDATAITEM* item);
    HRESULT GetResultItem(RESULTDATAITEM* item);
    HRESULT UpdateResultItem(HRESULTITEM id);
    void DeleteAllResultItems();
    HRESULT InsertColumn(int column, LPCOLESTR title, int format, int width);
    HRESULT DeleteColumn(int column);
    HRESULT SetColumnText(int column, LPCOLESTR title);
    HRESULT SetColumnWidth(int column, int width);
    void SetDescription(LPCOLESTR text);
    void SetStatusText(LPCOLESTR text);
    HRESULT SelectScopeItemRequest(HSCOPEITEM id);
    HRESULT UpdateAllViews(IDataObject* dataObject, LPARAM data, LONG_PTR hint);
    void SetVerb(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL value);
    BOOL GetVerb(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state) const;
    void SetDefaultVerb(MMC_CONSOLE_VERB verb);
    ToolbarModel* NewToolbar(IExtendControlbar* owner);
    void ToolbarChanged();

    // Nested calls into the snap-in settle (deferred selections, observer
    // notices) when the outermost returns.
    class Call {
    public:
        explicit Call(ConsoleSession& session) : session_(session) { ++session_.depth_; }
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        ConsoleSession& session_;
    };
    void Settle();
    void MarkResultPane();
    void MarkDescription();
    void MarkVerbs();
    void MarkToolbars();

    void FillRowTexts(ResultRow& row);
    // Rows are found by id and by cookie through indexes that follow rows_:
    // AddRowToIndex after an append, ReindexRows after any other change of
    // its order or cookies.
    ResultRow* FindRow(HRESULTITEM id);
    void AddRowToIndex(size_t position);
    void ReindexRows();
    // Drops the rows of scope items that are gone, in one pass.
    void RemoveGoneScopeRows();
    void RemoveTree(HSCOPEITEM id);
    void ResetVerbs();
    HRESULT NotifyView(const Target& target, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param);
    // The snap-in's extension interface for a scope target (the view's for a
    // result item) and the target's data object. E_INVALIDARG without a
    // target or a snap-in; S_FALSE when either of the two is missing.
    template <typename Extension>
    HRESULT ExtensionOf(const Target& target, zyr::com::ComPtr<Extension>& extension,
                        zyr::com::ComPtr<IDataObject>& data)
    {
        if (!target || !componentData_) {
            return E_INVALIDARG;
        }
        extension =
            target.scope ? componentData_.template As<Extension>() : component_.template As<Extension>();
        data = DataObjectOf(target);
        return extension && data ? S_OK : S_FALSE;
    }
    void NotifySelection(const Target& target, bool select);
    void ShowScope(HSCOPEITEM id);
    void HideShown();

    ConsoleObserver* observer_ = nullptr;
    zyr::com::ComPtr<IComponentData> componentData_;
    zyr::com::ComPtr<IComponent> component_;
    zyr::com::ComPtr<ConsoleObject> snapinConsole_;
    zyr::com::ComPtr<ConsoleObject> viewConsole_;
    zyr::com::ComPtr<ControlbarObject> controlbar_;
    zyr::com::ComPtr<ImageListObject> scopeImageList_;
    zyr::com::ComPtr<ImageListObject> resultImageList_;
    zyr::com::ComPtr<VerbObject> verbObject_;
    zyr::com::ComPtr<IExtendControlbar> extendControlbar_;

    std::map<HSCOPEITEM, ScopeItem> items_;
    HSCOPEITEM root_ = 0;
    HSCOPEITEM nextScopeId_ = 0x100;

    HSCOPEITEM shown_ = 0;
    Target focus_;
    std::vector<ResultColumn> columns_;
    std::vector<ResultRow> rows_;
    std::unordered_map<HRESULTITEM, size_t> rowAt_;
    std::unordered_map<MMC_COOKIE, HRESULTITEM> resultOfCookie_;
    std::unordered_map<HSCOPEITEM, HRESULTITEM> rowOfScope_;
    HRESULTITEM nextRowId_ = 1;
    std::u16string description_;
    std::u16string statusText_;
    std::string htmlView_;
    bool listViewAllowed_ = true;

    std::map<MMC_CONSOLE_VERB, DWORD> verbs_;
    MMC_CONSOLE_VERB defaultVerb_ = MMC_VERB_NONE;

    std::vector<std::unique_ptr<ToolbarModel>> toolbars_;
    // The root's folder images sit far above the indexes snap-ins use.
    static constexpr int kStaticFolderImage = 1 << 20;
    bool UseStaticFolderImages(const CLSID& snapin, ScopeItem& root);
    CLSID snapin_{};
    ImageList scopeImages_;
    ImageList resultImages_;

    int depth_ = 0;
    HSCOPEITEM pendingSelect_ = 0;
    // The pending selection is of the shown item: it is shown afresh.
    bool showAfresh_ = false;
    // The pending selection was asked for by the snap-in (after adding to
    // the item, say): what it lists now and did not when last shown is selected.
    bool requestedSelect_ = false;
    // What each item listed when it was last shown: (scope item, cookie).
    std::unordered_map<HSCOPEITEM, std::set<std::pair<bool, MMC_COOKIE>>> seenRows_;
    bool pendingReselect_ = false;
    bool dirtyResult_ = false;
    bool dirtyDescription_ = false;
    bool dirtyVerbs_ = false;
    bool dirtyToolbars_ = false;

    // The sheets open now: notify handle -> whether the sheet is of a scope item.
    std::map<LONG_PTR, bool> sheets_;
    LONG_PTR nextSheet_ = 1;
};

} // namespace zyr::host
