#include "host/IconCache.h"

#include <QPixmap>

namespace zyr::host {

QImage ImageOfStrip(const QImage& strip, const StoredStrip& info, int position)
{
    int width = info.width > 0 ? info.width : (info.count > 0 ? strip.width() / info.count : 0);
    int height = info.height > 0 ? std::min(info.height, strip.height()) : strip.height();
    if (width <= 0 || height <= 0 || (position + 1) * width > strip.width()) {
        return {};
    }
    QImage image = strip.copy(position * width, 0, width, height);
    if (!image.hasAlphaChannel()) {
        // COLORREF is 0x00BBGGRR.
        QRgb mask = qRgb(info.mask & 0xFF, (info.mask >> 8) & 0xFF, (info.mask >> 16) & 0xFF);
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == (mask & 0xFFFFFF)) {
                    line[x] = 0;
                }
            }
        }
    }
    return image;
}

QIcon IconCache::Icon(int index)
{
    if (generation_ != list_.Generation()) {
        generation_ = list_.Generation();
        strips_.clear();
        icons_.clear();
    }
    auto known = icons_.find(index);
    if (known != icons_.end()) {
        return known->second;
    }
    QIcon icon;
    int position = 0;
    const StoredStrip* strip = list_.Find(index, position);
    if (strip != nullptr) {
        auto decoded = strips_.find(strip);
        if (decoded == strips_.end()) {
            QImage image = QImage::fromData(strip->png.data(), static_cast<int>(strip->png.size()), "PNG");
            decoded = strips_.emplace(strip, image).first;
        }
        QImage image = ImageOfStrip(decoded->second, *strip, position);
        if (!image.isNull()) {
            icon = QIcon(QPixmap::fromImage(image));
        }
    }
    icons_.emplace(index, icon);
    return icon;
}

} // namespace zyr::host
