// The images a snap-in hands to an image list or a toolbar: strips of equal
// images, kept as copies of their PNG bytes, looked up by index.
#pragma once

#include "platform/mmc/ConsoleTypes.h"

#include <cstdint>
#include <vector>

namespace zyr::host {

struct StoredStrip {
    int start = 0; // index of the strip's first image
    int width = 0;
    int height = 0;
    int count = 0;
    COLORREF mask = 0;
    std::vector<unsigned char> png;
};

class ImageList {
public:
    // Copies the strip; its images take the indexes start, start + 1, ...
    // False for a missing or empty strip.
    bool SetStrip(const ImageStrip* strip, long start, COLORREF mask);
    // The strip holding image index and the position of the image in it.
    const StoredStrip* Find(int index, int& position) const;
    bool Empty() const { return strips_.empty(); }
    size_t StripCount() const { return strips_.size(); }
    // Changes with every strip added, so that views can drop cached pictures.
    unsigned Generation() const { return generation_; }

private:
    std::vector<StoredStrip> strips_;
    unsigned generation_ = 0;
};

} // namespace zyr::host
