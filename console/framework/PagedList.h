// The texts of the containers that show one page of a server list at a time:
// the count of a page, and the page written to a file ("Export List...").
#pragma once

#include "console/framework/SnapInItem.h"

#include <string>
#include <string_view>

namespace zyr::console {

// The description bar's count of page (from 0) of a list shown pageSize
// rows a page: "0 Items", "1 Item" for a lone row on the first page, else the
// positions of the rows shown in the whole list, "51 - 57 Items". Every page
// before this one was full (a shorter page ends the paging), so the positions
// hold on a short last page too.
std::string PageCountText(int pageSize, int page, int shown, std::string_view one, std::string_view many);

// Asks over owner for a comma-separated values file, named initialName at
// first, and writes text to it: S_OK when written, S_FALSE after Cancel,
// E_FAIL when the file could not be written (after saying so over owner).
HRESULT ExportListText(HWND owner, const std::string& initialName, const std::string& text);

} // namespace zyr::console
