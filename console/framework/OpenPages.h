// How many property pages are alive in the process. A page holds pointers to
// the records it shows, so a node that replaces records (a refresh) frees the
// old ones only when no page is open.
#pragma once

namespace zyr::console {

void PageOpened();
void PageClosed();
int OpenPageCount();

} // namespace zyr::console
