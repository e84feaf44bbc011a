#include "console/framework/Resources.h"

namespace zyr::console {
namespace {

const ResourceSet kEmpty{};
const ResourceSet* g_resources = &kEmpty;

} // namespace

void InstallResources(const ResourceSet* resources)
{
    g_resources = resources != nullptr ? resources : &kEmpty;
}

void ResetResources()
{
    g_resources = &kEmpty;
}

const MenuResource* LoadMenuResource(UINT id)
{
    for (const MenuResource& menu : g_resources->menus) {
        if (menu.id == id) {
            return &menu;
        }
    }
    return nullptr;
}

const ToolbarResource* LoadToolbarResource(UINT id)
{
    for (const ToolbarResource& toolbar : g_resources->toolbars) {
        if (toolbar.id == id) {
            return &toolbar;
        }
    }
    return nullptr;
}

HBITMAP LoadBitmapResource(UINT id)
{
    for (const BitmapResource& bitmap : g_resources->bitmaps) {
        if (bitmap.id == id) {
            return bitmap.strip;
        }
    }
    return nullptr;
}

} // namespace zyr::console
