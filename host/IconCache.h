// Pictures of an image list as Qt icons, decoded once per strip.
#pragma once

#include "host/ImageList.h"

#include <QIcon>
#include <QImage>

#include <map>

namespace zyr::host {

class IconCache {
public:
    explicit IconCache(const ImageList& list) : list_(list) {}
    // A null icon for an index the list does not hold.
    QIcon Icon(int index);

private:
    const ImageList& list_;
    unsigned generation_ = ~0u;
    std::map<const StoredStrip*, QImage> strips_;
    std::map<int, QIcon> icons_;
};

// One image of a strip; the mask colour is transparent when the strip has no
// alpha channel of its own.
QImage ImageOfStrip(const QImage& strip, const StoredStrip& info, int position);

} // namespace zyr::host
