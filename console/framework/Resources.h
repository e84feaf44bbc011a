// The module's resources as the node framework reads them: menus, toolbars
// and bitmaps by resource id. The module installs its resource set when it
// starts; tests install sets of their own.
#pragma once

#include "platform/mmc/ConsoleTypes.h"

#include <span>
#include <string_view>

namespace zyr::console {

// One entry of a pop-up: a text item with its command id and state flags
// (MF_GRAYED, MF_CHECKED, ...), or a separator.
struct MenuItem {
    std::string_view text; // in the configured code page; empty for a separator
    long commandId = 0;
    long state = 0;
    bool separator = false;
};

// One top-level position of a menu: a pop-up with its items, or a plain
// item (which ends the walk of the positions).
struct MenuPosition {
    std::string_view name;
    bool popup = true;
    std::span<const MenuItem> items;
};

struct MenuResource {
    UINT id = 0;
    std::span<const MenuPosition> positions;
};

// A toolbar button: its image in the toolbar's bitmap and its command; a
// command id of 0 is a separator. The button's text and tooltip come from
// the string resource of the command id ("text\ntooltip", or one text for
// both).
struct ToolbarButton {
    int image = 0;
    int commandId = 0;
};

struct ToolbarResource {
    UINT id = 0;
    UINT bitmapId = 0;
    std::span<const ToolbarButton> buttons;
};

struct BitmapResource {
    UINT id = 0;
    const ImageStrip* strip = nullptr;
};

struct ResourceSet {
    std::span<const MenuResource> menus;
    std::span<const ToolbarResource> toolbars;
    std::span<const BitmapResource> bitmaps;
};

// Installs the resource set (not owned; it must outlive its use). Null
// installs an empty set.
void InstallResources(const ResourceSet* resources);
void ResetResources();

// Null when the set holds no such resource.
const MenuResource* LoadMenuResource(UINT id);
const ToolbarResource* LoadToolbarResource(UINT id);
HBITMAP LoadBitmapResource(UINT id);

// Bitmap ids of the node image strip and the transparent colour RGB(0,128,128).
constexpr UINT IDB_NODE_IMAGES_16 = 102;
constexpr UINT IDB_NODE_IMAGES_32 = 103;
constexpr COLORREF kNodeImageMask = 0x00808000;

} // namespace zyr::console

namespace zyr::console {

// Menu resources of the node classes.
constexpr UINT IDR_APPLICATION_MENU = 104;   // CApplicationNode
constexpr UINT IDR_APPL_INSTANCE_MENU = 108; // CApplInstanceNode
constexpr UINT IDR_ROLE_MENU = 110;          // CRoleNode
constexpr UINT IDR_GROUP_MENU = 111;         // CGroupNode
constexpr UINT IDR_LOG_MENU = 231;           // CLogNode ("Export List...")
constexpr UINT IDR_AUDIT_MENU = 232;         // CAuditTrailNode ("Filter...", "Export List...")
constexpr UINT IDR_OBJECT_MENU = 245;        // CApplSecObjNode ("Who Has Access...")
constexpr UINT IDR_ROOT_MENU = 246;          // CRootNode ("Access Review Report...")
// "Who Has Access..." of applications, groups and objects.
constexpr long ID_WHO_HAS_ACCESS = 32880;
// The log container's toolbar and its bitmap.
constexpr UINT IDR_LOG_TOOLBAR = 230;
// The about object's images.
constexpr UINT IDI_SNAPIN_ICON = 185;
constexpr UINT IDB_STATIC_FOLDER = 222;

} // namespace zyr::console
