// Runs the built zyr-cache program.
#include "cache/CacheFiles.h"
#include "cache/TextCipher.h"
#include "tests/tools/ToolFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Outcome = zyr::test::ProgramRun;
using zyr::test::FileContent;
using zyr::test::ShellQuote;

class ZyrCacheTest : public zyr::testing::ToolFixture {
protected:
    ZyrCacheTest() : ToolFixture("zyr-cache", "zyr-cache-tool") {}

    static void Put(const fs::path& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }

    Outcome Execute(const std::string& arguments, const std::string& input = "",
                    const std::string& environment = "")
    {
        return zyr::test::RunShellCommand(environment + ShellQuote(program_.string()) + " " + arguments, dir_,
                                          input);
    }
};

TEST_F(ZyrCacheTest, EncryptsAndDecryptsStandardInputAndRefusesBadInput)
{
    Outcome run = Execute("encrypt", "Operators:5;");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "MN30dhQCwvBzW2/9");

    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    run = Execute("encrypt --pass 'an own phrase'", all);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, zyr::cipher::Encrypt(all, "an own phrase"));
    run = Execute("decrypt --pass='an own phrase'", run.out + "\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, all);

    // Bad input: a message and exit status 1.
    run = Execute("decrypt", "MN30dhQC+vBzW2/9");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("not an encrypted text"), std::string::npos) << run.err;

    run = Execute("show " + ShellQuote((dir_ / "missing.xml").string()));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;

    Put(dir_ / "ApplCache.xml", "not base 64!");
    run = Execute("show " + ShellQuote((dir_ / "ApplCache.xml").string()));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("does not hold an encrypted text"), std::string::npos) << run.err;

    run = Execute("write " + ShellQuote((dir_ / "no-such-folder" / "rolecache.xml").string()), "<KVTROLES/>");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

// Input larger than the tool's slices (and not a multiple of 3) streams to
// the same text as one call; line breaks across the slice edges are skipped,
// and padding before the end is refused.
TEST_F(ZyrCacheTest, LargeInputStreamsInSlicesToTheSameText)
{
    std::string big(3 * 65536 * 2 + 7, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 131 % 251);
    }
    Outcome run = Execute("encrypt", big);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string expected = zyr::cipher::Encrypt(big);
    ASSERT_EQ(run.out, expected);

    std::string wrapped;
    for (size_t i = 0; i < expected.size(); i += 76) {
        wrapped += expected.substr(i, 76) + "\r\n";
    }
    run = Execute("decrypt", wrapped);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out == big) << run.out.size() << " bytes";

    const std::string early = zyr::cipher::Encrypt("ab");
    run = Execute("decrypt", early + std::string(4 * 65536, 'A'));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not an encrypted text"), std::string::npos) << run.err;
}

// Without MD5 (an OpenSSL configuration that loads no provider offering it)
// the key cannot be derived: the provider's failure text, and exit status 1.
TEST_F(ZyrCacheTest, NoKeyWithoutMd5)
{
    Put(dir_ / "openssl.cnf", "openssl_conf = openssl_init\n[openssl_init]\nproviders = provider_sect\n"
                              "[provider_sect]\nbase = base_sect\n[base_sect]\nactivate = 1\n");
    const std::string environment = "OPENSSL_CONF=" + ShellQuote((dir_ / "openssl.cnf").string()) + " ";
    for (const char* command : {"encrypt", "decrypt"}) {
        Outcome run = Execute(command, "Hg==", environment);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.out, "Error 32 during CryptCreateHash!\n") << command;
        EXPECT_NE(run.err.find("failed (0x80070032)"), std::string::npos) << run.err;
    }
    const fs::path file = dir_ / "rolecache.xml";
    Put(file, "old");
    Outcome run = Execute("write " + ShellQuote(file.string()), "<KVTROLES/>", environment);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(FileContent(file), "old");
}

TEST_F(ZyrCacheTest, UsageErrorsExitWithTwo)
{
    for (const char* arguments :
         {"", "frobnicate", "show", "write a b", "encrypt --pass", "decrypt extra", "show --pass x"}) {
        Outcome run = Execute(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << arguments;
    }
    EXPECT_EQ(Execute("--help").status, 0);
}

// Files written by the library are shown by the tool, and the other way round.
TEST_F(ZyrCacheTest, CacheFilesRoundTripWithTheLibrary)
{
    const std::string roles = "<KVTROLES><ROLE><CN>Operators</CN></ROLE><END/></KVTROLES>";
    const fs::path file = dir_ / "rolecache.xml";
    ASSERT_EQ(KvtEncryptBufferAndPersistInFile(roles, file.string()), S_OK);
    Outcome run = Execute("show " + ShellQuote(file.string()));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, roles);

    const std::string other = "<KVTROLES><ROLE><CN>Engineers</CN></ROLE><END/></KVTROLES>";
    run = Execute("write " + ShellQuote(file.string()), other);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string text;
    ASSERT_EQ(ReadEncryptedFile(file.string(), text), S_OK);
    EXPECT_EQ(text, other);
    EXPECT_EQ(FileContent(file), zyr::cipher::Encrypt(other));

    // One character: an empty file, shown as nothing.
    run = Execute("write " + ShellQuote(file.string()), "x");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fs::file_size(file), 0u);
    run = Execute("show " + ShellQuote(file.string()));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
}

} // namespace
