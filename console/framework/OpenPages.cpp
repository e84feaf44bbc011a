#include "console/framework/OpenPages.h"

#include <atomic>

namespace zyr::console {

namespace {

std::atomic<int> openPages{0};

} // namespace

void PageOpened()
{
    openPages.fetch_add(1);
}

void PageClosed()
{
    openPages.fetch_sub(1);
}

int OpenPageCount()
{
    return openPages.load();
}

} // namespace zyr::console
