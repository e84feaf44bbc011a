// The snap-in protocol between a console host and a snap-in module: the item
// structures, notification codes, verbs, menu insertion points, data-object
// types and clipboard formats, with the values they have always had.
#pragma once

#include "platform/com/Unknown.h"

#include <cstddef>
#include <cstdint>

using LPARAM = intptr_t;
using WPARAM = uintptr_t;
using LONG_PTR = intptr_t;
using MMC_COOKIE = LONG_PTR;
using HSCOPEITEM = intptr_t;
using HRESULTITEM = intptr_t;
using COLORREF = DWORD;
using LPOLESTR = char16_t*;
using LPCOLESTR = const char16_t*;
using CLIPFORMAT = WORD;
using LONG_HANDLE = intptr_t;

// A window of the host (a QWidget* in the Qt host), opaque below the host.
using HWND = void*;
// A bitmap resource handed to an image list or toolbar: a strip of `count`
// images of width x height pixels each, laid side by side from left to right
// (the strip is count * width pixels wide), encoded as one PNG file in memory.
// The module owns the bytes for as long as it is loaded; the receiver copies
// what it keeps. Transparency comes from the PNG's alpha channel; the mask
// colour passed beside a strip is a fallback for strips without alpha.
struct ImageStrip {
    int width = 0;  // of one image, in pixels
    int height = 0; // of the strip, in pixels
    int count = 0;  // images in the strip
    const unsigned char* png = nullptr;
    size_t size = 0; // bytes at png
};
using HBITMAP = const ImageStrip*;
// A property page created by the snap-in and shown by the host.
struct IPropertyPage;
using HPROPSHEETPAGE = IPropertyPage*;

// The text member that asks the snap-in for the text on demand.
inline const LPOLESTR MMC_CALLBACK = reinterpret_cast<LPOLESTR>(static_cast<intptr_t>(-1));
constexpr MMC_COOKIE MMC_MULTI_SELECT_COOKIE = -2;

// Special data objects (-10 .. -1) that the console may pass.
constexpr intptr_t MMC_SPECIAL_DATAOBJECT_FIRST = -10;
constexpr intptr_t MMC_SPECIAL_DATAOBJECT_LAST = -1;

enum DATA_OBJECT_TYPES : DWORD {
    CCT_SCOPE = 0x8000,
    CCT_RESULT = 0x8001,
    CCT_SNAPIN_MANAGER = 0x8002,
    CCT_UNINITIALIZED = 0xFFFF,
};

enum MMC_NOTIFY_TYPE : DWORD {
    MMCN_ACTIVATE = 0x8001,
    MMCN_ADD_IMAGES = 0x8002,
    MMCN_BTN_CLICK = 0x8003,
    MMCN_CLICK = 0x8004,
    MMCN_COLUMN_CLICK = 0x8005,
    MMCN_CONTEXTMENU = 0x8006,
    MMCN_CUTORMOVE = 0x8007,
    MMCN_DBLCLICK = 0x8008,
    MMCN_DELETE = 0x8009,
    MMCN_DESELECT_ALL = 0x800A,
    MMCN_EXPAND = 0x800B,
    MMCN_HELP = 0x800C,
    MMCN_MENU_BTNCLICK = 0x800D,
    MMCN_MINIMIZED = 0x800E,
    MMCN_PASTE = 0x800F,
    MMCN_PROPERTY_CHANGE = 0x8010,
    MMCN_QUERY_PASTE = 0x8011,
    MMCN_REFRESH = 0x8012,
    MMCN_REMOVE_CHILDREN = 0x8013,
    MMCN_RENAME = 0x8014,
    MMCN_SELECT = 0x8015,
    MMCN_SHOW = 0x8016,
    MMCN_VIEW_CHANGE = 0x8017,
};

enum MMC_CONSOLE_VERB : DWORD {
    MMC_VERB_NONE = 0x0000,
    MMC_VERB_OPEN = 0x8000,
    MMC_VERB_COPY = 0x8001,
    MMC_VERB_PASTE = 0x8002,
    MMC_VERB_DELETE = 0x8003,
    MMC_VERB_PROPERTIES = 0x8004,
    MMC_VERB_RENAME = 0x8005,
    MMC_VERB_REFRESH = 0x8006,
    MMC_VERB_PRINT = 0x8007,
};

enum MMC_BUTTON_STATE : DWORD {
    ENABLED = 0x1,
    CHECKED = 0x2,
    HIDDEN = 0x4,
    INDETERMINATE = 0x8,
    BUTTONPRESSED = 0x10,
};

// Scope items.
constexpr DWORD SDI_STR = 0x2;
constexpr DWORD SDI_IMAGE = 0x4;
constexpr DWORD SDI_OPENIMAGE = 0x8;
constexpr DWORD SDI_STATE = 0x10;
constexpr DWORD SDI_PARAM = 0x20;
constexpr DWORD SDI_CHILDREN = 0x40;
constexpr DWORD SDI_PARENT = 0x0;
constexpr DWORD SDI_PREVIOUS = 0x10000000;
constexpr DWORD SDI_NEXT = 0x20000000;
constexpr DWORD SDI_FIRST = 0x8000000;

struct SCOPEDATAITEM {
    DWORD mask = 0;
    LPOLESTR displayname = nullptr;
    int nImage = 0;
    int nOpenImage = 0;
    UINT nState = 0;
    int cChildren = 0;
    LPARAM lParam = 0;
    HSCOPEITEM relativeID = 0;
    HSCOPEITEM ID = 0;
};

// Result items.
constexpr DWORD RDI_STR = 0x2;
constexpr DWORD RDI_IMAGE = 0x4;
constexpr DWORD RDI_STATE = 0x8;
constexpr DWORD RDI_PARAM = 0x10;
constexpr DWORD RDI_INDEX = 0x20;
constexpr DWORD RDI_INDENT = 0x40;

struct RESULTDATAITEM {
    DWORD mask = 0;
    BOOL bScopeItem = 0;
    HRESULTITEM itemID = 0;
    int nIndex = 0;
    int nCol = 0;
    LPOLESTR str = nullptr;
    int nImage = 0;
    UINT nState = 0;
    LPARAM lParam = 0;
    int iIndent = 0;
};

enum MMC_RESULT_VIEW_STYLE : long {
    MMC_VIEW_OPTIONS_NONE = 0,
    MMC_VIEW_OPTIONS_NOLISTVIEWS = 0x1,
};

// Context menus.
constexpr long CCM_INSERTIONPOINTID_PRIMARY_TOP = static_cast<long>(0xA0000000);
constexpr long CCM_INSERTIONPOINTID_PRIMARY_NEW = static_cast<long>(0xA0000001);
constexpr long CCM_INSERTIONPOINTID_PRIMARY_TASK = static_cast<long>(0xA0000002);
constexpr long CCM_INSERTIONPOINTID_PRIMARY_VIEW = static_cast<long>(0xA0000003);
constexpr long CCM_INSERTIONALLOWED_TOP = 0x1;
constexpr long CCM_INSERTIONALLOWED_NEW = 0x2;
constexpr long CCM_INSERTIONALLOWED_TASK = 0x4;
constexpr long CCM_INSERTIONALLOWED_VIEW = 0x8;
// Menu item flags (MF_*) as AddItem receives them.
constexpr long MF_ENABLED = 0x0;
constexpr long MF_GRAYED = 0x1;
constexpr long MF_DISABLED = 0x2;
constexpr long MF_CHECKED = 0x8;
constexpr long MF_POPUP = 0x10;
constexpr long MF_SEPARATOR = 0x800;

struct CONTEXTMENUITEM {
    LPOLESTR strName = nullptr;
    LPOLESTR strStatusBarText = nullptr;
    long lCommandID = 0;
    long lInsertionPointID = 0;
    long fFlags = 0;
    long fSpecialFlags = 0;
};

// Toolbars.
enum MMC_CONTROL_TYPE : DWORD { TOOLBAR = 0, MENUBUTTON = 1, COMBOBOXBAR = 2 };
constexpr BYTE TBSTATE_ENABLED = 0x4;
constexpr BYTE TBSTATE_HIDDEN = 0x8;
constexpr BYTE TBSTYLE_BUTTON = 0x0;
constexpr BYTE TBSTYLE_SEP = 0x1;

struct MMCBUTTON {
    int nBitmap = 0;
    int idCommand = 0;
    BYTE fsState = 0;
    BYTE fsType = 0;
    LPOLESTR lpButtonText = nullptr;
    LPOLESTR lpTooltipText = nullptr;
};

// Data objects.
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr DWORD TYMED_ISTREAM = 4;

struct FORMATETC {
    CLIPFORMAT cfFormat = 0;
    void* ptd = nullptr;
    DWORD dwAspect = DVASPECT_CONTENT;
    LONG lindex = -1;
    DWORD tymed = TYMED_HGLOBAL;
};

// A fixed block of caller memory that data objects write into (the global
// memory block of the data-object protocol).
struct STGMEDIUM {
    DWORD tymed = TYMED_HGLOBAL;
    BYTE* hGlobal = nullptr; // the caller's block
    size_t size = 0;         // its capacity in bytes
};

// Registers a clipboard format by name; the same name always answers the same
// number (0xC000 and up), process-wide.
CLIPFORMAT RegisterClipboardFormat(const char16_t* name);
