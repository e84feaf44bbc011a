#include "console/framework/ClipboardFormats.h"

namespace zyr::console {
namespace {

ClipboardFormats g_formats;

} // namespace

void RegisterClipboardFormats()
{
    g_formats.nodeType = RegisterClipboardFormat(u"CCF_NODETYPE");
    g_formats.szNodeType = RegisterClipboardFormat(u"CCF_SZNODETYPE");
    g_formats.displayName = RegisterClipboardFormat(u"CCF_DISPLAY_NAME");
    g_formats.snapinClassId = RegisterClipboardFormat(u"CCF_SNAPIN_CLASSID");
    g_formats.getObjectData = RegisterClipboardFormat(u"CCF_GETOBJECTDATA");
    g_formats.multiSelectObject = RegisterClipboardFormat(u"CCF_MMC_MULTISELECT_DATAOBJECT");
}

const ClipboardFormats& Formats()
{
    if (g_formats.getObjectData == 0) {
        RegisterClipboardFormats();
    }
    return g_formats;
}

} // namespace zyr::console
