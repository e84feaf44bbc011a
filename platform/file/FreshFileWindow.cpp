#include "platform/file/FreshFileWindow.h"

namespace zyr::file {

FreshFileWindow& ProcessFreshFileWindow()
{
    static FreshFileWindow window;
    return window;
}

} // namespace zyr::file
