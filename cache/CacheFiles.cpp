#include "cache/CacheFiles.h"

#include "cache/TextCipher.h"
#include "platform/com/MemoryGuard.h"
#include "platform/file/FileContent.h"

#include <cstring>

HRESULT KvtEncryptBufferAndPersistInFile(std::string_view plainText, std::string_view filePath)
{
    return zyr::com::GuardMemory([&]() -> HRESULT {
        if (filePath.empty()) {
            return E_FAIL;
        }
        std::string encoded;
        if (plainText.size() >= 2) {
            HRESULT hr = zyr::cipher::Encrypt(plainText, encoded);
            if (FAILED(hr)) {
                return hr;
            }
        }
        // The cache holds security data: a new file is for its owner only.
        switch (zyr::file::SaveFileAtomically(std::string(filePath), encoded, 0600).failedAt) {
        case zyr::file::SaveStep::Done:
            return S_OK;
        case zyr::file::SaveStep::Write:
            return E_UNEXPECTED;
        default:
            return E_FAIL; // a read-only file or one that cannot be replaced
        }
    });
}

HRESULT ReadEncryptedFile(std::string_view filePath, std::string& target)
{
    return zyr::com::GuardMemory([&]() -> HRESULT {
        std::string text;
        if (zyr::file::ReadWholeFile(std::string(filePath), text) != 0) {
            return E_FAIL;
        }
        if (text.size() < 2) {
            return S_OK;
        }
        // The buffer is as long as the text and zeroed, so the decrypted text
        // always ends in a zero; an undecodable text leaves it all zero.
        std::string plain(text.size(), '\0');
        size_t length = 0;
        DecryptText(nullptr, text.data(), text.size(), plain.data(), plain.size(), &length);
        plain.resize(std::strlen(plain.c_str()));
        target = std::move(plain);
        return S_OK;
    });
}

namespace zyr::cache {

std::string CacheFilePath(std::string_view directory, std::string_view fileName)
{
    std::string path(directory);
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += fileName;
    return path;
}

HRESULT ReadCacheFile(std::string_view filePath, std::string& plainText)
{
    plainText.clear();
    HRESULT hr = zyr::com::GuardMemory([&]() -> HRESULT {
        std::string text;
        if (zyr::file::ReadWholeFile(std::string(filePath), text) != 0) {
            return E_FAIL;
        }
        if (text.size() < 2) {
            return S_OK;
        }
        if (!zyr::cipher::Decrypt(text, plainText)) {
            return zyr::cipher::kUndecodableText;
        }
        return S_OK;
    });
    if (hr == E_OUTOFMEMORY) {
        plainText.clear();
    }
    return hr;
}

void SetCacheFileWriter(CacheFileWriter writer)
{
    zyr::file::SetFileWriter(writer);
}

} // namespace zyr::cache
