// How the columns of the result list share the width of the pane.
#pragma once

#include <vector>

namespace zyr::host {

struct ColumnRoom {
    int preferred = 0; // the snap-in's width, or the whole text when wider
    int whole = 0;     // the whole text of every row and the header
    int least = 0;     // below this the column would not be readable
};

// The widths of columns in a pane available pixels wide: as preferred when
// they all fit. Otherwise the widest give way to a common width, first down
// to their whole texts and, when that is not enough, down to their least.
// When not even the least widths fit, those.
std::vector<int> ShareColumnWidths(const std::vector<ColumnRoom>& columns, int available);

} // namespace zyr::host
