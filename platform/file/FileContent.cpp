#include "platform/file/FileContent.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zyr::file {

namespace {

long WriteToDescriptor(int fd, const char* data, size_t size)
{
    return static_cast<long>(::write(fd, data, size));
}

std::atomic<FileWriter> g_writer{&WriteToDescriptor};

// The file that a save of path replaces: a symbolic link is followed, so
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

void SyncFolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A new file beside the target, removed again unless it was renamed.
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

    // Only the owner may read the file while it is written.
    int Create(const std::string& target)
    {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate =
                target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
            int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                fd_ = fd;
                path_ = std::move(candidate);
                return 0;
            }
            if (errno != EEXIST) {
                return errno;
            }
        }
        return EEXIST;
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

} // namespace

int ReadWholeFile(int fd, std::string& content)
{
    content.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return 0;
        }
        content.append(buffer, static_cast<size_t>(n));
    }
}

int ReadWholeFile(const std::string& path, std::string& content)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error = ReadWholeFile(fd, content);
    ::close(fd);
    return error;
}

bool WriteAll(int fd, std::string_view bytes)
{
    FileWriter writer = g_writer.load();
    const char* data = bytes.data();
    size_t size = bytes.size();
    while (size > 0) {
        long written = writer(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

SaveResult SaveFileAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode)
{
    if (path.empty()) {
        return {SaveStep::Prepare, EINVAL};
    }
    const std::string target = ReplacedFile(path);
    mode_t mode = newFileMode & 07777;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            return {SaveStep::Prepare, S_ISDIR(existing.st_mode) ? EISDIR : EINVAL};
        }
        if (::access(target.c_str(), W_OK) != 0) {
            return {SaveStep::Prepare, errno};
        }
        mode = existing.st_mode & 07777;
    }
    TemporaryFile file;
    if (int error = file.Create(target); error != 0) {
        return {SaveStep::Prepare, error};
    }
    if (::fchmod(file.fd(), mode) != 0) {
        return {SaveStep::Prepare, errno};
    }
    if (!WriteAll(file.fd(), bytes) || ::fsync(file.fd()) != 0 || !file.Close()) {
        return {SaveStep::Write, errno};
    }
    if (::rename(file.path().c_str(), target.c_str()) != 0) {
        return {SaveStep::Replace, errno};
    }
    file.Release();
    // The new file is complete on disk; a failure here can only lose the
    // rename after a crash, so it is not reported.
    SyncFolderOf(target);
    return {};
}

void SetFileWriter(FileWriter writer)
{
    g_writer = writer != nullptr ? writer : &WriteToDescriptor;
}

} // namespace zyr::file
