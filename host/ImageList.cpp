#include "host/ImageList.h"

namespace zyr::host {

bool ImageList::SetStrip(const ImageStrip* strip, long start, COLORREF mask)
{
    if (strip == nullptr || strip->png == nullptr || strip->size == 0 || strip->count <= 0 || start < 0) {
        return false;
    }
    StoredStrip stored;
    stored.start = static_cast<int>(start);
    stored.width = strip->width;
    stored.height = strip->height;
    stored.count = strip->count;
    stored.mask = mask;
    stored.png.assign(strip->png, strip->png + strip->size);
    // A later strip replaces the images it covers: look-ups search newest
    // first, and strips it covers entirely are dropped (snap-ins set their
    // strip again each time a pane is shown).
    int end = stored.start + stored.count;
    std::erase_if(strips_, [&](const StoredStrip& old) {
        return old.start >= stored.start && old.start + old.count <= end;
    });
    strips_.push_back(std::move(stored));
    ++generation_;
    return true;
}

const StoredStrip* ImageList::Find(int index, int& position) const
{
    for (auto it = strips_.rbegin(); it != strips_.rend(); ++it) {
        if (index >= it->start && index < it->start + it->count) {
            position = index - it->start;
            return &*it;
        }
    }
    return nullptr;
}

} // namespace zyr::host
