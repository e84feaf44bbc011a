// The process-wide cache texts and their loading.
#include "cache/CacheFiles.h"

#include "common/ServerSettings.h"
#include "platform/com/MemoryGuard.h"
#include "platform/text/BoundedText.h"

namespace {

struct CacheTexts {
    zyr::text::BoundedText<zyr::cache::kCacheDirectorySize> directory;
    std::string role;
    std::string appl;
};

CacheTexts& Texts()
{
    static CacheTexts texts;
    return texts;
}

void AssignDirectory(std::string_view directory)
{
    CacheTexts& texts = Texts();
    if (directory.empty()) {
        texts.directory.Clear(); // an empty view may carry no pointer at all
    } else {
        texts.directory.Assign(directory);
    }
}

} // namespace

HRESULT LoadCacheFiles()
{
    CacheTexts& texts = Texts();
    return zyr::com::GuardMemory([&] {
        HRESULT hr = S_OK;
        if (texts.directory.empty()) {
            char buffer[zyr::cache::kCacheDirectorySize] = {};
            DWORD size = sizeof buffer;
            if (SUCCEEDED(GetCachePath(buffer, &size))) {
                buffer[sizeof buffer - 1] = '\0';
                AssignDirectory(buffer);
            }
        }
        if (texts.appl.empty()) {
            hr = ReadEncryptedFile(
                zyr::cache::CacheFilePath(texts.directory.view(), zyr::cache::kApplCacheFileName),
                texts.appl);
        }
        if (texts.role.empty()) {
            hr = ReadEncryptedFile(
                zyr::cache::CacheFilePath(texts.directory.view(), zyr::cache::kRoleCacheFileName),
                texts.role);
        }
        return hr;
    });
}

namespace zyr::cache {

std::string_view CacheDirectory()
{
    return Texts().directory.view();
}

const std::string& RoleCacheText()
{
    return Texts().role;
}

const std::string& ApplCacheText()
{
    return Texts().appl;
}

void SetCacheDirectory(std::string_view directory)
{
    AssignDirectory(directory);
}

void EmptyCacheTexts()
{
    Texts().role.clear();
    Texts().appl.clear();
}

void ResetCacheFiles()
{
    AssignDirectory({});
    EmptyCacheTexts();
    SetCacheFileWriter(nullptr);
}

} // namespace zyr::cache
