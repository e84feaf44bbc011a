#include "platform/file/FileContent.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace zyr::file;

namespace {

class FileContentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "zyr-file-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override
    {
        SetFileWriter(nullptr);
        fs::remove_all(folder_);
    }
    std::string Path(const char* name) const { return (folder_ / name).string(); }
    std::string Read(const std::string& path) const
    {
        std::string content;
        EXPECT_EQ(ReadWholeFile(path, content), 0);
        return content;
    }
    static mode_t Mode(const std::string& path)
    {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    }
    size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), {})); }

    fs::path folder_;
};

long FailHalfWay(int fd, const char* data, size_t size)
{
    if (size > 1) {
        return static_cast<long>(::write(fd, data, size / 2));
    }
    errno = ENOSPC;
    return -1;
}

} // namespace

TEST_F(FileContentTest, SaveGivesNewFilesTheirModeAndKeepsTheModeOfOldOnes)
{
    const std::string path = Path("hive.reg");
    ASSERT_TRUE(SaveFileAtomically(path, "first", 0600).ok());
    EXPECT_EQ(Read(path), "first");
    EXPECT_EQ(Mode(path), 0600u);

    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(SaveFileAtomically(path, std::string("second\0with zero", 16), 0600).ok());
    EXPECT_EQ(Read(path), std::string("second\0with zero", 16));
    EXPECT_EQ(Mode(path), 0640u);
    EXPECT_EQ(Entries(), 1u);

    std::string missing;
    EXPECT_EQ(ReadWholeFile(Path("absent"), missing), ENOENT);
}

TEST_F(FileContentTest, SaveFollowsALinkAndRefusesWhatItMayNotReplace)
{
    const std::string target = Path("target.xml");
    const std::string link = Path("link.xml");
    ASSERT_TRUE(SaveFileAtomically(target, "old", 0600).ok());
    fs::create_symlink(target, link);
    ASSERT_TRUE(SaveFileAtomically(link, "new", 0600).ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(target), "new");

    EXPECT_EQ(SaveFileAtomically(folder_.string(), "x", 0600).failedAt, SaveStep::Prepare);
    EXPECT_EQ(SaveFileAtomically("", "x", 0600).failedAt, SaveStep::Prepare);
    EXPECT_EQ(SaveFileAtomically(Path("no/such/folder"), "x", 0600).failedAt, SaveStep::Prepare);
    if (::geteuid() != 0) { // root may write anything
        ASSERT_EQ(::chmod(target.c_str(), 0400), 0);
        EXPECT_EQ(SaveFileAtomically(target, "refused", 0600).failedAt, SaveStep::Prepare);
        EXPECT_EQ(Read(target), "new");
    }
}

TEST_F(FileContentTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
    const std::string path = Path("cache.xml");
    ASSERT_TRUE(SaveFileAtomically(path, "kept", 0600).ok());
    SetFileWriter(&FailHalfWay);
    SaveResult result = SaveFileAtomically(path, "replacement", 0600);
    EXPECT_EQ(result.failedAt, SaveStep::Write);
    EXPECT_EQ(result.error, ENOSPC);
    EXPECT_EQ(Read(path), "kept");
    EXPECT_EQ(Entries(), 1u);
}
