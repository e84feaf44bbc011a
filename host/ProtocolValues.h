// Values of the snap-in protocol that the host reads and writes in more than
// one place.
#pragma once

#include "platform/mmc/ConsoleInterfaces.h"

#include <string>

namespace zyr::host {

// The image index by which a snap-in asks to be asked for the image.
inline constexpr int kImageCallback = -1;
inline constexpr BOOL kTrue = 1;
inline constexpr BOOL kFalse = 0;

// A text the snap-in handed over; empty for null and for MMC_CALLBACK.
inline std::u16string TextOf(LPCOLESTR text)
{
    if (text == nullptr || text == MMC_CALLBACK) {
        return {};
    }
    return text;
}

} // namespace zyr::host
