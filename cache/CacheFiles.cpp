#include "cache/CacheFiles.h"

#include "cache/TextCipher.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long WriteToDescriptor(int fd, const char* data, size_t size)
{
    return static_cast<long>(::write(fd, data, size));
}

zyr::cache::CacheFileWriter g_writer = &WriteToDescriptor;

// Closes a descriptor and removes the temporary file unless released.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    // Creates a new file beside target that only its owner may read: the
    // cipher's pass phrase is built in, so the file's mode is what keeps
    // the lists from other accounts.
    bool Create(const std::string& target)
    {
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate =
                target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
            int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                fd_ = fd;
                path_ = std::move(candidate);
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        return false;
    }

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    bool Close()
    {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    void Release() { path_.clear(); }

private:
    int fd_ = -1;
    std::string path_;
};

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        long written = g_writer(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The file that a write of path replaces: a symbolic link is followed, so
// that the link stays and its target gets the new content.
std::string ReplacedFile(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

void FlushDirectoryOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    content.clear();
    char piece[4096];
    bool ok = true;
    for (;;) {
        ssize_t got = ::read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        content.append(piece, static_cast<size_t>(got));
    }
    ::close(fd);
    return ok;
}

} // namespace

HRESULT KvtEncryptBufferAndPersistInFile(std::string_view plainText, std::string_view filePath)
{
    try {
        if (filePath.empty()) {
            return E_FAIL;
        }
        const std::string target = ReplacedFile(std::string(filePath));
        struct stat existing {};
        bool exists = ::stat(target.c_str(), &existing) == 0;
        if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
            return E_FAIL; // a read-only file is not replaced
        }
        TemporaryFile file;
        if (!file.Create(target)) {
            return E_FAIL;
        }
        if (exists) {
            ::fchmod(file.fd(), existing.st_mode & 07777);
        }
        if (plainText.size() >= 2) {
            std::string encoded;
            HRESULT hr = zyr::cipher::Encrypt(plainText, encoded);
            if (FAILED(hr)) {
                return hr;
            }
            if (!WriteAll(file.fd(), encoded.data(), encoded.size())) {
                return E_UNEXPECTED;
            }
        }
        if (::fsync(file.fd()) != 0 || !file.Close()) {
            return E_UNEXPECTED;
        }
        if (::rename(file.path().c_str(), target.c_str()) != 0) {
            return E_FAIL;
        }
        file.Release();
        FlushDirectoryOf(target);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ReadEncryptedFile(std::string_view filePath, std::string& target)
{
    try {
        std::string text;
        if (!ReadWholeFile(std::string(filePath), text)) {
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
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
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
    try {
        std::string text;
        if (!ReadWholeFile(std::string(filePath), text)) {
            return E_FAIL;
        }
        if (text.size() < 2) {
            return S_OK;
        }
        if (!zyr::cipher::Decrypt(text, plainText)) {
            return zyr::cipher::kUndecodableText;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        plainText.clear();
        return E_OUTOFMEMORY;
    }
}

void SetCacheFileWriter(CacheFileWriter writer)
{
    g_writer = writer != nullptr ? writer : &WriteToDescriptor;
}

} // namespace zyr::cache
