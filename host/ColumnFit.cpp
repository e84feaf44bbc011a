#include "host/ColumnFit.h"

#include <algorithm>
#include <numeric>

namespace zyr::host {

namespace {

// Every column at most cap wide, and never narrower than its floor.
std::vector<int> Capped(const std::vector<int>& wanted, const std::vector<int>& floors, int cap)
{
    std::vector<int> widths(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        widths[i] = std::max(std::min(floors[i], wanted[i]), std::min(wanted[i], cap));
    }
    return widths;
}

long long Sum(const std::vector<int>& widths)
{
    return std::accumulate(widths.begin(), widths.end(), 0LL);
}

// The widest columns narrowed to the widest common width that fits.
std::vector<int> GiveWay(const std::vector<int>& wanted, const std::vector<int>& floors, int available)
{
    if (Sum(wanted) <= available) {
        return wanted;
    }
    // The sum grows with the cap.
    int low = 0;
    int high = *std::max_element(wanted.begin(), wanted.end());
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (Sum(Capped(wanted, floors, middle)) <= available) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return Capped(wanted, floors, low);
}

} // namespace

std::vector<int> ShareColumnWidths(const std::vector<ColumnRoom>& columns, int available)
{
    std::vector<int> preferred;
    std::vector<int> whole;
    std::vector<int> least;
    for (const ColumnRoom& column : columns) {
        whole.push_back(std::max(column.whole, 1));
        preferred.push_back(std::max(column.preferred, whole.back()));
        least.push_back(std::min(column.least, whole.back()));
    }
    if (columns.empty() || Sum(whole) <= available) {
        return GiveWay(preferred, whole, available);
    }
    return GiveWay(whole, least, available);
}

} // namespace zyr::host
