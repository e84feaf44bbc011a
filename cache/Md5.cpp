#include "cache/Md5.h"

#include "platform/com/WinTypes.h"

#include <openssl/evp.h>

#include <cstring>

namespace zyr::cipher {

namespace {

constexpr long kErrorNotSupported = 50; // ERROR_NOT_SUPPORTED

} // namespace

Md5Result ComputeMd5(std::string_view data, uint8_t (&digest)[16])
{
    std::memset(digest, 0, sizeof digest);
    Md5Result result;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr) {
        return {HashStep::CreateHash, ERROR_OUTOFMEMORY};
    }
    EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
    unsigned int size = 0;
    if (md5 == nullptr || EVP_DigestInit_ex(context, md5, nullptr) != 1) {
        result = {HashStep::CreateHash, kErrorNotSupported};
    } else if (EVP_DigestUpdate(context, data.data(), data.size()) != 1) {
        result = {HashStep::HashData, kErrorNotSupported};
    } else if (EVP_DigestFinal_ex(context, digest, &size) != 1 || size != sizeof digest) {
        std::memset(digest, 0, sizeof digest);
        result = {HashStep::DeriveKey, kErrorNotSupported};
    }
    EVP_MD_free(md5);
    EVP_MD_CTX_free(context);
    return result;
}

} // namespace zyr::cipher
