// The pictures of the module, drawn in code: the node image strip, the
// toolbar of the log container and the about images.
#pragma once

#include "module/resources/PngWriter.h"

#include <vector>

namespace zyr::module {

// The ten node pictures at 32x32, in strip order.
std::vector<Canvas> DrawNodeImages();
// The log toolbar's "<" and ">" buttons at 16x16.
std::vector<Canvas> DrawToolbarImages();
// The snap-in's icon (32x32) and its static folder picture (15x15).
Canvas DrawSnapinIcon();
Canvas DrawStaticFolder();

// Lays pictures of one size side by side.
Canvas Strip(const std::vector<Canvas>& pictures);

} // namespace zyr::module
