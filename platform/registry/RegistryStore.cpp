#include "platform/registry/RegistryStore.h"

#include "platform/file/FileContent.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace zyr::registry {

namespace {

struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity Of(const struct stat& st)
    {
        return FileIdentity{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FileIdentity& other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
               changed.tv_nsec == other.changed.tv_nsec;
    }
};

struct CachedHive {
    bool loaded = false;
    std::string path;
    FileIdentity identity;
    // Set when the file was read within moments of its last change: another
    // change in the same timestamp tick could then go unseen (an inode used
    // again, the same size), so the next read does not trust the identity.
    bool recent = false;
    LONG status = ERROR_SUCCESS;
    std::unique_ptr<RegistryHive> hive;
    FileIdentity reported; // the malformed file last reported, so it is reported once
};

// Everything process-wide about the store lives here.
struct StoreState {
    std::recursive_mutex mutex;
    std::optional<Location> location;
    CachedHive hives[2];
    DiagnosticSink sink;
};

StoreState& State()
{
    static StoreState state;
    return state;
}

CachedHive& Cache(HiveId hive)
{
    return State().hives[hive == HiveId::Machine ? 0 : 1];
}

void Diagnose(const std::string& message)
{
    auto& state = State();
    if (state.sink) {
        state.sink(message);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

LONG ErrorFromErrno(int error, LONG otherwise)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_OUTOFMEMORY;
    default:
        return otherwise;
    }
}

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return "/tmp";
}

bool ChangedRecently(const struct stat& st)
{
    constexpr int64_t kTickNs = 100'000'000; // well above the file system's timestamp granularity
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    auto ns = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    return ns(now) - std::max(ns(st.st_mtim), ns(st.st_ctim)) < kTickNs;
}

std::string DirectoryOf(const std::string& path)
{
    return std::filesystem::path(path).parent_path().string();
}

// Parses file bytes into a hive of the given kind; false with a message
// naming the line when the file is malformed.
bool ParseHive(HiveId id, const std::string& bytes, RegistryHive& hive, RegFileError& error)
{
    if (bytes.find_first_not_of(" \t\r\n") == std::string::npos) {
        return true; // an empty file is an empty hive
    }
    RegFileDocument document;
    if (!ParseRegFile(bytes, document, error)) {
        return false;
    }
    for (const auto& section : document.sections) {
        if (section.key.hive != id) {
            error.line = section.line;
            error.message =
                std::string("key of ") + RootName(section.key.hive) + " in the hive of " + RootName(id);
            return false;
        }
    }
    ApplyRegFile(document, id, hive);
    return true;
}

// Brings the cached hive up to date with its file. force reads the file even
// when it looks unchanged (writers do, under the lock).
LONG Load(HiveId id, bool force)
{
    CachedHive& cache = Cache(id);
    std::string path = HivePath(id);
    if (cache.path != path) {
        cache = CachedHive{};
        cache.path = path;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            cache.loaded = false;
            return ErrorFromErrno(errno, ERROR_BADDB);
        }
        if (!force && cache.loaded && !cache.identity.exists) {
            return ERROR_SUCCESS;
        }
        cache.loaded = true;
        cache.identity = FileIdentity{};
        cache.status = ERROR_SUCCESS;
        cache.hive = std::make_unique<RegistryHive>(RootName(id));
        return ERROR_SUCCESS;
    }
    if (!force && cache.loaded && !cache.recent && cache.identity == FileIdentity::Of(st)) {
        return cache.status;
    }
    cache.loaded = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return ErrorFromErrno(errno, ERROR_BADDB);
    }
    std::string bytes;
    int readError = ::fstat(fd, &st) == 0 ? file::ReadWholeFile(fd, bytes) : errno;
    ::close(fd);
    if (readError != 0) {
        return ErrorFromErrno(readError, ERROR_BADDB);
    }
    auto hive = std::make_unique<RegistryHive>(RootName(id));
    RegFileError error;
    cache.identity = FileIdentity::Of(st);
    cache.recent = ChangedRecently(st);
    cache.loaded = true;
    if (!ParseHive(id, bytes, *hive, error)) {
        cache.hive.reset();
        cache.status = ERROR_BADDB;
        if (!(cache.reported == cache.identity)) {
            cache.reported = cache.identity;
            Diagnose("registry: " + path + ":" + std::to_string(error.line) + ": " + error.message +
                     " (the hive is not used and will not be rewritten)");
        }
        return ERROR_BADDB;
    }
    cache.hive = std::move(hive);
    cache.status = ERROR_SUCCESS;
    return ERROR_SUCCESS;
}

// Writes the hive to a temporary file beside path and renames it over path.
LONG WriteHiveFile(HiveId id, const std::string& path, const RegistryHive& hive)
{
    std::string text = WriteRegFile(hive.Root(), RootName(id), false);
    file::SaveResult saved = file::SaveFileAtomically(path, text, id == HiveId::Machine ? 0644 : 0600);
    return saved.ok() ? ERROR_SUCCESS : ErrorFromErrno(saved.error, ERROR_WRITE_FAULT);
}

class FileLock {
public:
    LONG Acquire(const std::string& path, mode_t mode)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (fd_ < 0) {
            return ErrorFromErrno(errno, ERROR_WRITE_FAULT);
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                return ErrorFromErrno(errno, ERROR_WRITE_FAULT);
            }
        }
        return ERROR_SUCCESS;
    }
    ~FileLock()
    {
        if (fd_ >= 0) {
            ::close(fd_); // releases the lock
        }
    }

private:
    int fd_ = -1;
};

} // namespace

void SetDiagnosticSink(DiagnosticSink sink)
{
    std::lock_guard lock(State().mutex);
    State().sink = std::move(sink);
}

std::string HivePath(HiveId hive)
{
    const Location& location = CurrentLocation();
    return hive == HiveId::Machine ? location.machineDir + "/" + kMachineHiveFile
                                   : location.userDir + "/" + kUserHiveFile;
}

LONG ReadHive(HiveId hive, const std::function<LONG(const RegistryHive&)>& reader)
{
    std::lock_guard lock(State().mutex);
    LONG status = Load(hive, false);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return reader(*Cache(hive).hive);
}

LONG ModifyHive(HiveId hive, const std::function<LONG(RegistryHive& hive, bool& changed)>& change)
{
    std::lock_guard lock(State().mutex);
    std::string path = HivePath(hive);
    std::string dir = DirectoryOf(path);
    std::error_code ec;
    if (!std::filesystem::exists(dir, ec)) {
        // Try the change on an empty hive first, so that a change that alters
        // nothing creates no folder.
        RegistryHive empty(RootName(hive));
        bool changed = false;
        LONG status = change(empty, changed);
        if (status != ERROR_SUCCESS || !changed) {
            return status;
        }
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            return ErrorFromErrno(ec.value(), ERROR_WRITE_FAULT);
        }
    }
    FileLock fileLock;
    LONG status = fileLock.Acquire(path + ".lock", hive == HiveId::Machine ? 0644 : 0600);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = Load(hive, true);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    CachedHive& cache = Cache(hive);
    bool changed = false;
    status = change(*cache.hive, changed);
    if (status != ERROR_SUCCESS || !changed) {
        if (changed) {
            cache.loaded = false; // partly changed: read the file again next time
        }
        return status;
    }
    status = WriteHiveFile(hive, path, *cache.hive);
    struct stat st {};
    if (status != ERROR_SUCCESS || ::stat(path.c_str(), &st) != 0) {
        cache.loaded = false;
        return status;
    }
    cache.identity = FileIdentity::Of(st);
    cache.recent = ChangedRecently(st);
    return ERROR_SUCCESS;
}

LONG ImportRegFile(const std::string& path, std::string& error)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND);
    }
    std::string bytes;
    int readError = file::ReadWholeFile(fd, bytes);
    ::close(fd);
    if (readError != 0) {
        error = path + ": cannot be read";
        return ERROR_WRITE_FAULT;
    }
    RegFileDocument document;
    RegFileError parseError;
    if (!ParseRegFile(bytes, document, parseError)) {
        error = path + ":" + std::to_string(parseError.line) + ": " + parseError.message;
        return ERROR_BADDB;
    }
    for (HiveId hive : {HiveId::Machine, HiveId::User}) {
        bool touches = false;
        for (const auto& section : document.sections) {
            touches = touches || section.key.hive == hive;
        }
        if (!touches) {
            continue;
        }
        LONG status = ModifyHive(hive, [&](RegistryHive& target, bool& changed) {
            ApplyRegFile(document, hive, target);
            changed = true;
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS) {
            error = HivePath(hive) + ": cannot be updated";
            return status;
        }
    }
    return ERROR_SUCCESS;
}

void DropCachedHives()
{
    std::lock_guard lock(State().mutex);
    for (auto& cache : State().hives) {
        cache = CachedHive{};
    }
}

Location DefaultLocation()
{
    if (const char* dir = std::getenv("ZYR_REGISTRY_DIR"); dir && *dir) {
        return Location{dir, dir};
    }
    std::string user;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        user = std::string(config) + "/zyr";
    } else {
        user = HomeDirectory() + "/.config/zyr";
    }
    return Location{"/etc/zyr/registry", user};
}

void SetLocation(const Location& location)
{
    std::lock_guard lock(State().mutex);
    State().location = location;
    for (auto& cache : State().hives) {
        cache = CachedHive{};
    }
}

const Location& CurrentLocation()
{
    std::lock_guard lock(State().mutex);
    if (!State().location) {
        State().location = DefaultLocation();
    }
    return *State().location;
}

void ResetLocation()
{
    std::lock_guard lock(State().mutex);
    State().location.reset();
    for (auto& cache : State().hives) {
        cache = CachedHive{};
    }
}

} // namespace zyr::registry
