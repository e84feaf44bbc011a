// zyr-reg end to end: the built program, run with its own registry folder.
#include "tests/tools/ToolFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using zyr::test::FileContent;

using zyr::test::WriteFileBytes;

using zyr::test::Utf16LeFile;

using RegRun = zyr::test::ProgramRun;

class ZyrRegTest : public zyr::testing::ToolFixture {
protected:
    ZyrRegTest() : ToolFixture("zyr-reg", "zyr-reg-test") {}

    // Runs zyr-reg with standard input from /dev/null, as a script would.
    RegRun Reg(std::vector<std::string> args)
    {
        std::string registry = "ZYR_REGISTRY_DIR=" + (dir_ / "hives").string();
        std::vector<char*> env;
        for (char** e = environ; *e; ++e) {
            if (std::string_view(*e).rfind("ZYR_REGISTRY_DIR=", 0) != 0) {
                env.push_back(*e);
            }
        }
        env.push_back(registry.data());
        env.push_back(nullptr);
        std::string path = program_.string();
        std::vector<char*> argv{path.data()};
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        fs::path out = dir_ / "stdout";
        fs::path err = dir_ / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        RegRun run;
        if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), env.data()) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        run.out = FileContent(out);
        run.err = FileContent(err);
        return run;
    }

    fs::path MachineHive() const { return dir_ / "hives" / "machine.reg"; }
};

constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.\n";

} // namespace

TEST_F(ZyrRegTest, ImportedRegeditExportIsQueriedWithEveryType)
{
    fs::path file = dir_ / "export.reg";
    WriteFileBytes(
        file, Utf16LeFile(u"Windows Registry Editor Version 5.00\r\n\r\n"
                          u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\ZYR]\r\n"
                          u"@=\"Security \u00dcbersicht\"\r\n"
                          u"\"URL\"=\"http://srv/zyr/request.asp\"\r\n"
                          u"\"CachePath\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,7a,00,79,00,\\\r\n"
                          u"  72,00,00,00\r\n"
                          u"\"Servers\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                          u"\"HTTPTimeOut\"=dword:0000001e\r\n"
                          u"\"Big\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                          u"\"Blob\"=hex:de,ad,be,ef\r\n"
                          u"\"Nothing\"=hex(0):\r\n"
                          u"\r\n"
                          u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\ZYR\\Security\\Snap-in]\r\n"
                          u"\"LastUser\"=\"op\"\r\n"));
    RegRun import = Reg({"import", file.string()});
    ASSERT_EQ(import.status, 0) << import.err;
    EXPECT_EQ(import.out, "The operation completed successfully.\n");

    RegRun query = Reg({"query", "hklm\\software\\tarnwick\\zyr", "/s"});
    ASSERT_EQ(query.status, 0) << query.err;
    EXPECT_EQ(query.out, "\n"
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\ZYR\n"
                         "    (Default)    REG_SZ    Security \xC3\x9C"
                         "bersicht\n"
                         "    URL    REG_SZ    http://srv/zyr/request.asp\n"
                         "    CachePath    REG_EXPAND_SZ    %TEMP%\\zyr\n"
                         "    Servers    REG_MULTI_SZ    a\\0b\n"
                         "    HTTPTimeOut    REG_DWORD    0x1e\n"
                         "    Big    REG_QWORD    0x807060504030201\n"
                         "    Blob    REG_BINARY    DEADBEEF\n"
                         "    Nothing    REG_NONE    \n"
                         "\n"
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\ZYR\\Security\n"
                         "\n"
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\ZYR\\Security\\Snap-in\n"
                         "    LastUser    REG_SZ    op\n"
                         "\n");
}

TEST_F(ZyrRegTest, AddRefusesToOverwriteInScriptsWithoutForce)
{
    const std::string key = "HKCU\\Software\\Tarnwick";
    ASSERT_EQ(Reg({"add", key, "/v", "Mode", "/t", "REG_DWORD", "/d", "0x10"}).status, 0);
    RegRun again = Reg({"add", key, "/v", "mode", "/t", "REG_DWORD", "/d", "2"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("use /f"), std::string::npos) << again.err;
    EXPECT_NE(Reg({"query", key, "/v", "Mode"}).out.find("REG_DWORD    0x10"), std::string::npos);

    ASSERT_EQ(Reg({"add", key, "/v", "mode", "/t", "REG_DWORD", "/d", "2", "/f"}).status, 0);
    EXPECT_NE(Reg({"query", key, "/v", "Mode"}).out.find("    Mode    REG_DWORD    0x2"), std::string::npos);

    EXPECT_EQ(Reg({"add", key, "/v", "Bad", "/t", "REG_DWORD", "/d", "4294967296"}).status, 1);
    EXPECT_EQ(Reg({"add", key, "/v", "Bad", "/t", "REG_BINARY", "/d", "abc"}).status, 1);
    EXPECT_EQ(Reg({"add", key, "/v", "Bad", "/t", "REG_LINK"}).status, 1);
    EXPECT_EQ(Reg({"add", "HKU\\x", "/v", "Bad"}).status, 1);
    EXPECT_EQ(Reg({"query", key, "/v", "Bad"}).err, kNotFound);
}

TEST_F(ZyrRegTest, DeleteAsksOrNeedsForce)
{
    const std::string key = "HKLM\\Software\\Gone";
    ASSERT_EQ(Reg({"add", key + "\\Sub", "/ve", "/d", "x"}).status, 0);
    ASSERT_EQ(Reg({"add", key, "/v", "a", "/d", "1"}).status, 0);
    EXPECT_EQ(Reg({"delete", key, "/v", "a"}).status, 1); // no one to ask
    EXPECT_EQ(Reg({"query", key, "/v", "a"}).status, 0);
    EXPECT_EQ(Reg({"delete", key, "/v", "a", "/f"}).status, 0);
    EXPECT_EQ(Reg({"delete", key, "/v", "a", "/f"}).err, kNotFound);
    EXPECT_EQ(Reg({"delete", "HKLM", "/f"}).status, 1); // a root is never deleted
    EXPECT_EQ(Reg({"delete", key, "/f"}).status, 0);
    RegRun gone = Reg({"query", key + "\\Sub"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err, kNotFound);
}

TEST_F(ZyrRegTest, ExportedKeyImportsBackTheSame)
{
    const std::string key = "HKLM\\Software\\Classes\\CLSID\\{A}";
    ASSERT_EQ(Reg({"add", key + "\\InprocServer32", "/ve", "/d", "/usr/lib/zyr/module.so"}).status, 0);
    ASSERT_EQ(Reg({"add", key, "/v", "List", "/t", "REG_MULTI_SZ", "/d", "x\\0y \"q\"\\0z\\\\"}).status, 0);
    ASSERT_EQ(Reg({"add", key, "/v", "Raw", "/t", "REG_NONE", "/d", "00ff"}).status, 0);
    RegRun before = Reg({"query", "HKCR\\clsid\\{a}", "/s"});
    ASSERT_EQ(before.status, 0);

    fs::path file = dir_ / "out.reg";
    ASSERT_EQ(Reg({"export", "HKCR\\CLSID\\{A}", file.string()}).status, 0);
    EXPECT_EQ(Reg({"export", "HKCR\\CLSID\\{A}", file.string()}).status, 1); // exists, no /y
    EXPECT_EQ(Reg({"export", "HKCR\\CLSID\\{A}", file.string(), "/y"}).status, 0);
    ASSERT_EQ(Reg({"delete", "HKCR\\CLSID", "/f"}).status, 0);
    ASSERT_EQ(Reg({"import", file.string()}).status, 0);
    EXPECT_EQ(Reg({"query", "HKCR\\clsid\\{a}", "/s"}).out, before.out);
}

TEST_F(ZyrRegTest, MalformedFilesAreNamedWithTheirLine)
{
    const std::string broken =
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:nope\n";
    WriteFileBytes(MachineHive(), broken);
    RegRun query = Reg({"query", "HKLM\\A"});
    EXPECT_EQ(query.status, 1);
    EXPECT_NE(query.err.find(MachineHive().string() + ":3:"), std::string::npos) << query.err;
    EXPECT_EQ(Reg({"add", "HKLM\\A", "/v", "w", "/d", "x", "/f"}).status, 1);
    EXPECT_EQ(FileContent(MachineHive()), broken);

    fs::path file = dir_ / "bad.reg";
    WriteFileBytes(
        file, "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"ok\"=\"1\"\n\"v\"=oops\n");
    RegRun import = Reg({"import", file.string()});
    EXPECT_EQ(import.status, 1);
    EXPECT_NE(import.err.find(file.string() + ":4:"), std::string::npos) << import.err;
    EXPECT_EQ(Reg({"query", "HKCU\\A"}).status, 1); // nothing of it was applied
}
