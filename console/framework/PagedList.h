// What the containers that show one page of a server list at a time share:
// the rows of a new page in the result pane, and the page written to a file
// ("Export List...").
#pragma once

#include "console/framework/SnapInItem.h"

#include <string>
#include <vector>

namespace zyr::console {

// Replaces the rows of the result pane with one per node, in order; the last
// insertion's result.
HRESULT ReplaceResultItems(IConsole* console, const std::vector<CSnapInItem*>& nodes);

// Asks over owner for a comma-separated values file, named initialName at
// first, and writes text to it: S_OK when written, S_FALSE after Cancel,
// E_FAIL when the file could not be written (after saying so over owner).
HRESULT ExportListText(HWND owner, const std::string& initialName, const std::string& text);

} // namespace zyr::console
