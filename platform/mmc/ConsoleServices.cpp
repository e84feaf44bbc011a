#include "platform/mmc/ConsoleInterfaces.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

PropertyChangeHandler g_propertyChangeHandler = nullptr;

} // namespace

CLIPFORMAT RegisterClipboardFormat(const char16_t* name)
{
    static std::mutex mutex;
    static std::map<std::u16string, CLIPFORMAT> formats;
    if (name == nullptr || *name == u'\0') {
        return 0;
    }
    std::lock_guard<std::mutex> lock(mutex);
    auto [it, added] = formats.try_emplace(name, static_cast<CLIPFORMAT>(0xC000 + formats.size()));
    (void)added;
    return it->second;
}

HRESULT MMCPropertyChangeNotify(LONG_PTR notifyHandle, LPARAM param)
{
    if (g_propertyChangeHandler == nullptr) {
        return E_UNEXPECTED;
    }
    return g_propertyChangeHandler(notifyHandle, param);
}

HRESULT MMCFreeNotifyHandle(LONG_PTR)
{
    return S_OK;
}

void InstallPropertyChangeHandler(PropertyChangeHandler handler)
{
    g_propertyChangeHandler = handler;
}

void* CoTaskMemAlloc(size_t size)
{
    return std::malloc(size == 0 ? 1 : size);
}

void CoTaskMemFree(void* block)
{
    std::free(block);
}

LPOLESTR CoTaskMemDupString(std::u16string_view text)
{
    auto* copy = static_cast<char16_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(char16_t)));
    if (copy == nullptr) {
        return nullptr;
    }
    std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
    copy[text.size()] = u'\0';
    return copy;
}
