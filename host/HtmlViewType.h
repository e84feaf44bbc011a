// The HTML page a snap-in names as the view type of a scope item.
#pragma once

#include <string>

namespace zyr::host {

// The text of a view type "res://MODULE/NAME" as a file path: NAME in the
// module's folder, found without regard to case. Empty when it is not such a
// view type or the file does not exist.
std::string HtmlFileOfViewType(const std::u16string& viewType);

} // namespace zyr::host
