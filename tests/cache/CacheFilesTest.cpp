#include "cache/CacheFiles.h"

#include "cache/FreshCache.h"
#include "cache/TextCipher.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kRoles = "<KVTROLES><ROLE><DN>{6f0c1a2e-0000-4000-8000-000000000001}</DN><CN>Operators</CN>"
                           "</ROLE><END/></KVTROLES>";

class CacheFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = zyr::test::MakeTempFolder("zyr-cache-files");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override
    {
        zyr::cache::SetCacheFileWriter(nullptr);
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }

    std::string Path(const char* name) const { return (dir_ / name).string(); }

    static std::string Content(const std::string& path) { return zyr::test::FileContent(path); }
    static void Put(const std::string& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }
    size_t FilesInDirectory() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
};

TEST_F(CacheFilesTest, WrittenFileHoldsOnlyTheEncryptedTextAndReadsBack)
{
    const std::string path = zyr::cache::CacheFilePath(dir_.string(), zyr::cache::kRoleCacheFileName);
    EXPECT_EQ(path, zyr::cache::CacheFilePath(dir_.string() + "/", zyr::cache::kRoleCacheFileName));
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, path), S_OK);
    EXPECT_EQ(Content(path), zyr::cipher::Encrypt(kRoles)); // no header, no line break, no terminator
    std::string text;
    ASSERT_EQ(ReadEncryptedFile(path, text), S_OK);
    EXPECT_EQ(text, kRoles);
    ASSERT_EQ(zyr::cache::ReadCacheFile(path, text), S_OK);
    EXPECT_EQ(text, kRoles);
    EXPECT_EQ(FilesInDirectory(), 1u);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u); // whatever the umask

    // Rewritten in full.
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile("<KVTROLES/>", path), S_OK);
    ASSERT_EQ(ReadEncryptedFile(path, text), S_OK);
    EXPECT_EQ(text, "<KVTROLES/>");
}

TEST_F(CacheFilesTest, TextsShorterThanTwoCharactersLeaveAnEmptyFile)
{
    const std::string path = Path("rolecache.xml");
    for (std::string text : {"x", ""}) {
        Put(path, zyr::cipher::Encrypt(kRoles));
        ASSERT_EQ(KvtEncryptBufferAndPersistInFile(text, path), S_OK);
        EXPECT_TRUE(fs::exists(path));
        EXPECT_EQ(fs::file_size(path), 0u) << '"' << text << '"';
    }
    // An empty file leaves the target as it was.
    std::string target = "kept";
    EXPECT_EQ(ReadEncryptedFile(path, target), S_OK);
    EXPECT_EQ(target, "kept");
    Put(path, "H");
    EXPECT_EQ(ReadEncryptedFile(path, target), S_OK);
    EXPECT_EQ(target, "kept");
}

// Missing and undecodable files; a file written elsewhere may carry line
// breaks, and the plain text ends at its first zero byte.
TEST_F(CacheFilesTest, ReadingFilesOfEveryKind)
{
    std::string target = "kept";
    EXPECT_EQ(ReadEncryptedFile(Path("ApplCache.xml"), target), E_FAIL);
    EXPECT_EQ(target, "kept");
    EXPECT_EQ(ReadEncryptedFile(dir_.string(), target), E_FAIL); // a folder is not a file
    EXPECT_EQ(zyr::cache::ReadCacheFile(Path("ApplCache.xml"), target), E_FAIL);

    // Standard base 64 ("+") is not the variant: the text is emptied and the
    // read still succeeds; the checked read reports it.
    const std::string path = Path("ApplCache.xml");
    Put(path, "MN30dhQC+vBzW2/9");
    target = "kept";
    EXPECT_EQ(ReadEncryptedFile(path, target), S_OK);
    EXPECT_EQ(target, "");
    target = "kept";
    EXPECT_TRUE(FAILED(zyr::cache::ReadCacheFile(path, target)));
    EXPECT_EQ(target, "");

    std::string encoded = zyr::cipher::Encrypt(kRoles);
    std::string wrapped;
    for (size_t k = 0; k < encoded.size(); k += 76) {
        wrapped += encoded.substr(k, 76) + "\r\n";
    }
    Put(path, wrapped);
    ASSERT_EQ(ReadEncryptedFile(path, target), S_OK);
    EXPECT_EQ(target, kRoles);
    Put(path, zyr::cipher::Encrypt(std::string("<A/>\0<B/>", 9)));
    ASSERT_EQ(ReadEncryptedFile(path, target), S_OK);
    EXPECT_EQ(target, "<A/>");
}

// A disk that fills up half-way through the new content.
long FailHalfWay(int fd, const char* data, size_t size)
{
    if (size > 1) {
        return static_cast<long>(::write(fd, data, size / 2));
    }
    errno = ENOSPC;
    return -1;
}
long FailAtOnce(int, const char*, size_t)
{
    errno = EIO;
    return -1;
}

TEST_F(CacheFilesTest, FailedWriteKeepsThePreviousFile)
{
    const std::string path = Path("rolecache.xml");
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, path), S_OK);
    const std::string before = Content(path);
    for (auto writer : {&FailHalfWay, &FailAtOnce}) {
        zyr::cache::SetCacheFileWriter(writer);
        EXPECT_EQ(KvtEncryptBufferAndPersistInFile("<KVTROLES><ROLE/></KVTROLES>", path), E_UNEXPECTED);
        EXPECT_EQ(Content(path), before);
        EXPECT_EQ(FilesInDirectory(), 1u) << "temporary file left behind";
    }
    zyr::cache::SetCacheFileWriter(nullptr);
    EXPECT_EQ(KvtEncryptBufferAndPersistInFile("<KVTROLES><ROLE/></KVTROLES>", path), S_OK);
    std::string text;
    ASSERT_EQ(ReadEncryptedFile(path, text), S_OK);
    EXPECT_EQ(text, "<KVTROLES><ROLE/></KVTROLES>");
}

TEST_F(CacheFilesTest, FilesThatCannotBeWritten)
{
    EXPECT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, ""), E_FAIL);
    EXPECT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, Path("missing/rolecache.xml")), E_FAIL);
    EXPECT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, dir_.string()), E_FAIL);
    if (::geteuid() == 0) {
        return; // permissions do not stop root
    }
    const std::string path = Path("rolecache.xml");
    Put(path, "old");
    fs::permissions(path, fs::perms::owner_read);
    EXPECT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, path), E_FAIL);
    EXPECT_EQ(Content(path), "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, path), E_FAIL);
    EXPECT_EQ(Content(path), "old");
}

// The replacement keeps the file's permissions, and a symbolic link stays a
// link to the file that gets the new content.
TEST_F(CacheFilesTest, ReplacementKeepsPermissionsAndLinks)
{
    const std::string path = Path("rolecache.xml");
    Put(path, "old");
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, path), S_OK);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const std::string link = Path("link.xml");
    fs::create_symlink(path, link);
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile("<KVTROLES/>", link), S_OK);
    EXPECT_TRUE(fs::is_symlink(link));
    std::string text;
    ASSERT_EQ(ReadEncryptedFile(path, text), S_OK);
    EXPECT_EQ(text, "<KVTROLES/>");
}

} // namespace

namespace {

// Start-up reads a list the sign-in cached only when the file was written
// inside the window, and only once; an older file, or any read outside the
// window, sends the caller to the server.
TEST_F(CacheFilesTest, FreshCacheFilesAreReadOnceAndOnlyInsideTheStartUpWindow)
{
    const std::string older = Path("ApplCache.xml");
    const std::string newer = Path(zyr::cache::kRoleCacheFileName);
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, older), S_OK);
    fs::last_write_time(older, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    std::string text = "left over";
    EXPECT_FALSE(zyr::cache::ReadFreshCacheFile(older, text));
    EXPECT_TRUE(text.empty());

    zyr::cache::BeginFreshCacheWindow();
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, newer), S_OK);
    EXPECT_FALSE(zyr::cache::ReadFreshCacheFile(older, text));
    EXPECT_TRUE(zyr::cache::ReadFreshCacheFile(newer, text));
    EXPECT_EQ(text, kRoles);
    EXPECT_FALSE(zyr::cache::ReadFreshCacheFile(newer, text)); // a second fetch goes to the server
    EXPECT_FALSE(zyr::cache::ReadFreshCacheFile(Path("missing.xml"), text));

    // The writer's own text is answered without the file, once.
    zyr::cache::BeginFreshCacheWindow();
    zyr::cache::OfferFreshCacheText(older, "<KVTAPPLS/>");
    EXPECT_TRUE(zyr::cache::ReadFreshCacheFile(older, text));
    EXPECT_EQ(text, "<KVTAPPLS/>");
    EXPECT_FALSE(zyr::cache::ReadFreshCacheFile(older, text));

    ASSERT_EQ(KvtEncryptBufferAndPersistInFile(kRoles, newer), S_OK);
    zyr::cache::EndFreshCacheWindow();
    zyr::cache::OfferFreshCacheText(newer, kRoles);
    EXPECT_FALSE(zyr::cache::ReadFreshCacheFile(newer, text));
}

} // namespace
