// The generic mechanics that every node kind reuses: data-object formats,
// display information, context menus from menu resources, toolbars, images,
// console look-up, column headers, verbs and the description bar.
#pragma once

#include "console/framework/SnapInItem.h"
#include "platform/com/Unknown.h"
#include "roles/RecordSupport.h"

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::console {

// Tells the administrator, through the UI service, that a list could not be
// read (what: "applications", "roles", "log entries"), so that an empty tree
// or list is never taken for an empty database. Nothing for Fetched. A
// failed refresh (refresh true) says that what is shown was read before.
void ShowFetchFailure(zyr::records::FetchResult result, std::string_view what, bool refresh = false);

// The node type's text form: 36 characters, no braces.
std::u16string NodeTypeString(const GUID& nodeType);

// The default FillData: "CCF_NODETYPE" the node type (16 bytes),
// "CCF_SZNODETYPE" its text, "CCF_DISPLAY_NAME" the given display name,
// "CCF_SNAPIN_CLASSID" the snap-in's class id (16 bytes); texts wide with
// their terminator. Any other format: DV_E_CLIPFORMAT.
HRESULT FillNodeData(CLIPFORMAT format, IStream* stream, const GUID& nodeType,
                     std::u16string_view displayName);
// Writes text, wide, with its terminator.
HRESULT WriteWideText(IStream* stream, std::u16string_view text);

// Fills the members the console asks for (item->mask) from the node's scope
// item; SDI_STR answers displayName, which must outlive the call's use.
HRESULT FillScopePaneInfo(const SCOPEDATAITEM& own, const std::u16string& displayName, SCOPEDATAITEM* item);

// Makes a data object for (item, type); E_POINTER without an out pointer.
HRESULT CreateDataObject(CSnapInItem* item, DATA_OBJECT_TYPES type, IDataObject** dataObject);

// Adds the items of a menu resource to the console's context menu. Missing
// resource: nothing added, S_OK.
HRESULT AddMenuItemsFromResource(UINT menuId, IContextMenuCallback* callback, long* insertionAllowed);

// Creates the toolbars of the given resources that the map lacks.
HRESULT CreateToolbars(std::span<const UINT> toolbarIds, IControlbar* controlbar, IExtendControlbar* extend,
                       ToolbarMap* toolbars);
// MMCN_SELECT for toolbars: on selection (HIWORD(arg) set) attaches each
// toolbar and enables its buttons; on deselection detaches them.
HRESULT SelectToolbars(std::span<const UINT> toolbarIds, IControlbar* controlbar, ToolbarMap* toolbars,
                       LPARAM arg);

// Loads the node image strip (bitmaps 102 and 103) into an image list, start
// 0, mask RGB(0,128,128); E_FAIL when a bitmap is missing.
HRESULT SetNodeImageStrip(IImageList* imageList);

// The console of the issuing object: the component data's for kind 1, the
// view's for kind 2, with a reference added; E_FAIL for any other kind or
// when there is no console.
HRESULT ConsoleOf(CSnapInObjectRootBase* root, IConsole** console);

// Appends one row per node to the console's result pane, in order, after
// removing every row shown when replace is set: the last insertion's result
// (S_OK without nodes), E_UNEXPECTED when the console has no result pane.
HRESULT InsertResultItems(IConsole* console, const std::vector<CSnapInItem*>& nodes, bool replace = false);

// The console's main window, or null (no console, or it has none).
HWND MainWindowOf(IConsole* console);

// A console message box with a string resource as text and string 100 as title.
HRESULT ConsoleMessage(IConsole* console, UINT textId, UINT style, int* result = nullptr);
HRESULT ConsoleMessageText(IConsole* console, std::string_view text, UINT style, int* result = nullptr);

// The console of a notification, taken from the component data or the view
// component that forwarded it; for a view also its header control.
// References are released with the context.
struct NotifyContext {
    NotifyContext(IComponentData* componentData, IComponent* component);
    zyr::com::ComPtr<IConsole> console;
    zyr::com::ComPtr<IHeaderCtrl> header;
};

// Formats the count with the singular text when it is 1 and the plural text
// otherwise ("%d Application"), cut to 49 characters, and hands it to the
// console's description bar.
HRESULT SetDescriptionBar(IConsole* console, int count, const char* singular, const char* plural);
HRESULT SetDescriptionBarText(IConsole* console, std::string_view text);

// Inserts left-aligned columns in order; answers the last insertion's result.
struct ColumnHeader {
    std::u16string_view title;
    int width;
};
HRESULT InsertColumns(IHeaderCtrl* header, std::initializer_list<ColumnHeader> columns);
// Column 0 with the class's title (width 200), column 1 "Description" (350).
HRESULT InsertNameDescriptionColumns(IHeaderCtrl* header, std::u16string_view title);

// Hands a page to the sheet, which releases it when it closes; a page the
// sheet refuses is released here.
HRESULT AddPropertyPage(IPropertySheetCallback* callback, IPropertyPage* page);

// Enables the verbs; answers the last SetVerbState result, or the result of
// QueryConsoleVerb when there is none to set or it failed.
HRESULT EnableVerbs(IConsole* console, std::initializer_list<MMC_CONSOLE_VERB> verbs);

} // namespace zyr::console
