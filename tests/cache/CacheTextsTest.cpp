#include "cache/CacheFiles.h"

#include "common/ServerSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class CacheTextsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        zyr::cache::ResetCacheFiles();
        char pattern[] = "/tmp/zyr-cache-texts-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        zyr::cache::SetCacheDirectory(dir_.string() + "/");
    }
    void TearDown() override
    {
        zyr::cache::ResetCacheFiles();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string Path(const char* name) const { return (dir_ / name).string(); }
    void WriteBoth(const std::string& appl, const std::string& roles) const
    {
        ASSERT_EQ(KvtEncryptBufferAndPersistInFile(appl, Path(zyr::cache::kApplCacheFileName)), S_OK);
        ASSERT_EQ(KvtEncryptBufferAndPersistInFile(roles, Path(zyr::cache::kRoleCacheFileName)), S_OK);
    }

    fs::path dir_;
};

TEST_F(CacheTextsTest, FillsOnlyTheTextsThatAreEmpty)
{
    WriteBoth("<KVTAPPLS>1</KVTAPPLS>", "<KVTROLES>1</KVTROLES>");
    ASSERT_EQ(LoadCacheFiles(), S_OK);
    EXPECT_EQ(zyr::cache::ApplCacheText(), "<KVTAPPLS>1</KVTAPPLS>");
    EXPECT_EQ(zyr::cache::RoleCacheText(), "<KVTROLES>1</KVTROLES>");

    // Read once: newer files are not seen until the texts are emptied.
    WriteBoth("<KVTAPPLS>2</KVTAPPLS>", "<KVTROLES>2</KVTROLES>");
    fs::remove(Path(zyr::cache::kRoleCacheFileName));
    EXPECT_EQ(LoadCacheFiles(), S_OK); // nothing ran
    EXPECT_EQ(zyr::cache::ApplCacheText(), "<KVTAPPLS>1</KVTAPPLS>");
    EXPECT_EQ(zyr::cache::RoleCacheText(), "<KVTROLES>1</KVTROLES>");

    zyr::cache::EmptyCacheTexts();
    EXPECT_EQ(LoadCacheFiles(), E_FAIL); // the role cache is gone: its result is the answer
    EXPECT_EQ(zyr::cache::ApplCacheText(), "<KVTAPPLS>2</KVTAPPLS>");
    EXPECT_EQ(zyr::cache::RoleCacheText(), "");

    // Only the role text is still empty: only its file is read.
    ASSERT_EQ(
        KvtEncryptBufferAndPersistInFile("<KVTROLES>3</KVTROLES>", Path(zyr::cache::kRoleCacheFileName)),
        S_OK);
    ASSERT_EQ(
        KvtEncryptBufferAndPersistInFile("<KVTAPPLS>3</KVTAPPLS>", Path(zyr::cache::kApplCacheFileName)),
        S_OK);
    EXPECT_EQ(LoadCacheFiles(), S_OK);
    EXPECT_EQ(zyr::cache::ApplCacheText(), "<KVTAPPLS>2</KVTAPPLS>");
    EXPECT_EQ(zyr::cache::RoleCacheText(), "<KVTROLES>3</KVTROLES>");
}

// Missing, empty or undecodable files leave the texts empty; only the role
// file's result is reported.
TEST_F(CacheTextsTest, UnusableFilesLeaveEmptyTexts)
{
    std::ofstream(Path(zyr::cache::kApplCacheFileName)) << "+++not the variant+++";
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile("x", Path(zyr::cache::kRoleCacheFileName)), S_OK);
    EXPECT_EQ(LoadCacheFiles(), S_OK);
    EXPECT_EQ(zyr::cache::ApplCacheText(), "");
    EXPECT_EQ(zyr::cache::RoleCacheText(), "");

    fs::remove(Path(zyr::cache::kApplCacheFileName));
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile("<KVTROLES/>", Path(zyr::cache::kRoleCacheFileName)), S_OK);
    EXPECT_EQ(LoadCacheFiles(), S_OK);
    EXPECT_EQ(zyr::cache::ApplCacheText(), "");
    EXPECT_EQ(zyr::cache::RoleCacheText(), "<KVTROLES/>");
}

// With no directory set, the configured cache path is asked for and kept.
TEST_F(CacheTextsTest, DirectoryComesFromTheSettings)
{
    zyr::cache::ResetCacheFiles();
    EXPECT_EQ(zyr::cache::CacheDirectory(), "");
    char expected[zyr::cache::kCacheDirectorySize] = {};
    DWORD size = sizeof expected;
    HRESULT hr = GetCachePath(expected, &size);
    LoadCacheFiles();
    EXPECT_EQ(zyr::cache::CacheDirectory(), SUCCEEDED(hr) ? std::string(expected) : std::string());

    zyr::cache::SetCacheDirectory(dir_.string());
    zyr::cache::ResetCacheFiles();
    EXPECT_EQ(zyr::cache::CacheDirectory(), "");
    EXPECT_EQ(zyr::cache::RoleCacheText(), "");
}

} // namespace
