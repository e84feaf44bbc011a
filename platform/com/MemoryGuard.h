// Allocation failures end at the interface: work that may run out of memory
// runs through GuardMemory, which answers E_OUTOFMEMORY instead of throwing.
#pragma once

#include "platform/com/WinTypes.h"

#include <new>

namespace zyr::com {

template <class Work>
HRESULT GuardMemory(Work&& work) noexcept
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace zyr::com
