// The clipboard formats that data objects of the snap-in serve.
#pragma once

#include "platform/mmc/ConsoleTypes.h"

namespace zyr::console {

struct ClipboardFormats {
    CLIPFORMAT nodeType = 0;          // "CCF_NODETYPE"
    CLIPFORMAT szNodeType = 0;        // "CCF_SZNODETYPE"
    CLIPFORMAT displayName = 0;       // "CCF_DISPLAY_NAME"
    CLIPFORMAT snapinClassId = 0;     // "CCF_SNAPIN_CLASSID"
    CLIPFORMAT getObjectData = 0;     // "CCF_GETOBJECTDATA"
    CLIPFORMAT multiSelectObject = 0; // "CCF_MMC_MULTISELECT_DATAOBJECT", registered, never served
};

// Registers the six formats by name (again harmless: a name keeps its number).
void RegisterClipboardFormats();
// The registered numbers; registers them first when that has not happened.
const ClipboardFormats& Formats();

} // namespace zyr::console
