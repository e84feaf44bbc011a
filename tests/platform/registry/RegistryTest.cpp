#include "platform/registry/Registry.h"

#include "platform/registry/RegistryStore.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace zyr::registry;
namespace fs = std::filesystem;

namespace {

using zyr::test::FileContent;
using zyr::test::WriteFileBytes;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = zyr::test::MakeTempFolder("zyr-registry");
        ASSERT_FALSE(root_.empty());
        SetLocation(Location{(root_ / "machine").string(), (root_ / "user").string()});
        SetDiagnosticSink([this](const std::string& message) { diagnostics_.push_back(message); });
    }
    void TearDown() override
    {
        SetDiagnosticSink(nullptr);
        ResetLocation();
        fs::remove_all(root_);
    }

    fs::path MachineHive() const { return root_ / "machine" / kMachineHiveFile; }

    HKEY Create(HKEY parent, const char* path, REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static LONG SetText(HKEY key, const char* name, const char* text, DWORD type = REG_SZ)
    {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text),
                              static_cast<DWORD>(std::strlen(text) + 1));
    }
    static LONG SetDword(HKEY key, const char* name, DWORD value)
    {
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }

    fs::path root_;
    std::vector<std::string> diagnostics_;
};

} // namespace

TEST_F(RegistryTest, PathsAndValueNamesIgnoreCaseAndKeepIt)
{
    EXPECT_FALSE(fs::exists(root_ / "machine")); // nothing written yet
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SetText(key, "URL", "http://srv"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, "url", "http://other"), ERROR_SUCCESS); // the same value
    RegCloseKey(key);

    HKEY again = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\tarnwick\\zyr", 0, nullptr, 0, KEY_READ, nullptr,
                              &again, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    char text[64];
    EXPECT_TRUE(ReadText(again, "Url", text, sizeof text));
    EXPECT_STREQ(text, "http://other");
    char name[64];
    DWORD nameSize = sizeof name;
    EXPECT_EQ(RegEnumValueA(again, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "URL");
    EXPECT_EQ(RegEnumValueA(again, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(again);

    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SoftWare\\TARNWICK", 0, KEY_READ, &parent), ERROR_SUCCESS);
    nameSize = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(parent, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "ZYR");
    EXPECT_EQ(nameSize, 3u);
    RegCloseKey(parent);
    EXPECT_NE(FileContent(MachineHive()).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\ZYR]"),
              std::string::npos);

    // HKEY_CLASSES_ROOT is the machine's Software\Classes.
    HKEY clsid = Create(HKEY_CLASSES_ROOT, "CLSID\\{1}");
    RegCloseKey(clsid);
    HKEY viaMachine = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\clsid\\{1}", 0, KEY_READ, &viaMachine),
              ERROR_SUCCESS);
    RegCloseKey(viaMachine);
}

TEST_F(RegistryTest, WritesThroughQueryOnlyKeysAreDenied)
{
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\A\\B"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    std::string before = FileContent(root_ / "user" / kUserHiveFile);
    EXPECT_EQ(SetDword(key, "x", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(key, "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(key, "B"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeA(key, "B"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(sub, nullptr);
    EXPECT_EQ(FileContent(root_ / "user" / kUserHiveFile), before);
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesTheFileCannotHoldAndUnknownHandlesAreRefused)
{
    // A change that changes nothing creates no folder.
    EXPECT_EQ(RegDeleteValueA(HKEY_LOCAL_MACHINE, "nothing"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(root_ / "machine"));

    HKEY key = nullptr;
    for (const char* bad : {"\\Software", "Software\\\\Tarnwick", "Soft\nware", "A\rB"}) {
        EXPECT_EQ(
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, bad, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER)
            << bad;
    }
    std::string longName(256, 'k');
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
    key = Create(HKEY_LOCAL_MACHINE, "Software\\Names\\"); // a trailing backslash is ignored
    EXPECT_EQ(SetText(key, "two\nlines", "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetText(key, "\"quoted\" [name]", "x"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "null", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(bogus, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(bogus, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, QueryFollowsTheBufferSizeConventions)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Sizes");
    ASSERT_EQ(SetText(key, "Text", "hello"), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);
    BYTE small[3] = {'?', '?', '?'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(small[0], '?'); // nothing partial
    BYTE exact[6];
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, exact, &size), ERROR_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(exact), "hello");
    EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, exact, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

    char name[4];
    DWORD nameSize = sizeof name;
    BYTE data[2];
    DWORD dataSize = sizeof data;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(nameSize, 5u); // "Text" and its terminator
    RegCloseKey(key);

    char keyName[3];
    DWORD keyNameSize = sizeof keyName;
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(RegEnumKeyExA(software, 0, keyName, &keyNameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    RegCloseKey(software);
}

TEST_F(RegistryTest, TypedReadsCountOnlyTheRightTypes)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Typed");
    SetDword(key, "Number", 7);
    SetText(key, "NumberAsText", "7");
    RegSetValueExA(key, "Qword", 0, REG_QWORD, reinterpret_cast<const BYTE*>("\1\0\0\0\0\0\0\0"), 8);
    RegSetValueExA(key, "ShortDword", 0, REG_DWORD, reinterpret_cast<const BYTE*>("\1\0"), 2);
    SetText(key, "Expand", "%TEMP%", REG_EXPAND_SZ);
    RegSetValueExA(key, "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("a\0b\0"), 5);
    RegSetValueExA(key, "MultiOneTerminator", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("a\0b"), 4);
    RegSetValueExA(key, "Binary", 0, REG_BINARY, reinterpret_cast<const BYTE*>("x\0"), 2);

    DWORD number = 99;
    EXPECT_TRUE(ReadDword(key, "Number", number));
    EXPECT_EQ(number, 7u);
    for (const char* absent : {"NumberAsText", "Qword", "ShortDword", "Missing"}) {
        EXPECT_FALSE(ReadDword(key, absent, number)) << absent;
    }
    char text[8];
    EXPECT_TRUE(ReadText(key, "Expand", text, sizeof text));
    EXPECT_STREQ(text, "%TEMP%");
    EXPECT_TRUE(ReadText(key, "Multi", text, sizeof text));
    EXPECT_STREQ(text, "a");
    for (const char* absent : {"Unterminated", "MultiOneTerminator", "Binary", "Number"}) {
        EXPECT_FALSE(ReadText(key, absent, text, sizeof text)) << absent;
    }
    EXPECT_FALSE(ReadText(key, "Expand", text, 6)); // "%TEMP%" needs 7 bytes
    EXPECT_STREQ(text, "");
    RegCloseKey(key);
}

TEST_F(RegistryTest, KeysAreDeletedOneByOneOrAsTrees)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Tree\\Leaf");
    SetDword(key, "v", 1);
    HKEY tree = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &tree), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(tree, "Tree"), ERROR_ACCESS_DENIED); // it has a sub-key
    EXPECT_EQ(RegDeleteKeyA(tree, ""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(tree, "TREE\\leaf"), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, "v", 2), ERROR_KEY_DELETED); // not brought back
    DWORD number = 0;
    EXPECT_FALSE(ReadDword(key, "v", number));
    EXPECT_EQ(RegDeleteKeyA(tree, "Tree\\Leaf"), ERROR_FILE_NOT_FOUND);

    HKEY branch = Create(HKEY_CURRENT_USER, "Software\\Tree\\A\\B");
    RegCloseKey(branch);
    HKEY treeKey = Create(HKEY_CURRENT_USER, "Software\\Tree");
    SetDword(treeKey, "w", 1);
    EXPECT_EQ(RegDeleteTreeA(treeKey, nullptr), ERROR_SUCCESS); // empties the key, keeps it
    char name[8];
    DWORD nameSize = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(treeKey, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_FALSE(ReadDword(treeKey, "w", number));
    RegCloseKey(treeKey);
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Tree\\A\\B"));
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeA(tree, "tree"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tree", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE); // closed twice
    RegCloseKey(tree);
}

TEST_F(RegistryTest, MalformedHiveIsReportedAndNeverRewritten)
{
    const std::string broken = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\ZYR]\n"
                               "\"URL\"=\"http://srv\"\n\"EventLogging\"=dword:zz\n";
    WriteFileBytes(MachineHive(), broken);

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ZYR", 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(SetDword(HKEY_LOCAL_MACHINE, "x", 1), ERROR_BADDB);
    EXPECT_EQ(FileContent(MachineHive()), broken);
    ASSERT_EQ(diagnostics_.size(), 1u); // once per file, however often it is read
    EXPECT_NE(diagnostics_[0].find(MachineHive().string() + ":5:"), std::string::npos) << diagnostics_[0];

    // Mended by hand, it is read again.
    WriteFileBytes(MachineHive(),
                   "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\ZYR]\n"
                   "\"EventLogging\"=dword:00000001\n");
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ZYR", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD number = 0;
    EXPECT_TRUE(ReadDword(key, "EventLogging", number));
    RegCloseKey(key);

    // A key of the other hive is out of place in a hive file.
    WriteFileBytes(root_ / "user" / kUserHiveFile,
                   "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\X]\n");
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "X", 0, KEY_READ, &key), ERROR_BADDB);
}

TEST_F(RegistryTest, ReadsSeeChangesMadeByOtherWriters)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Shared");
    SetDword(key, "n", 1);
    DWORD number = 0;
    EXPECT_TRUE(ReadDword(key, "n", number));
    // Another program replaces the file.
    WriteFileBytes(MachineHive(),
                   "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Shared]\n"
                   "\"n\"=dword:00000002\n\"added\"=dword:00000003\n");
    EXPECT_TRUE(ReadDword(key, "n", number));
    EXPECT_EQ(number, 2u);
    EXPECT_TRUE(ReadDword(key, "added", number));
    RegCloseKey(key);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing)
{
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Software\\Race"));
    constexpr int kValues = 1000;
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
        children[p] = ::fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            HKEY key = nullptr;
            int failures = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Race", 0, KEY_ALL_ACCESS, &key) != 0;
            for (int i = 0; i < kValues; ++i) {
                std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
                DWORD value = static_cast<DWORD>(i);
                failures +=
                    RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                   sizeof value) != ERROR_SUCCESS;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Race", 0, KEY_READ, &key), ERROR_SUCCESS);
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < kValues; ++i) {
            std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
            DWORD value = 0;
            ASSERT_TRUE(ReadDword(key, name.c_str(), value)) << name;
            EXPECT_EQ(value, static_cast<DWORD>(i));
        }
    }
    RegCloseKey(key);
    // No temporary file is left behind.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(root_ / "machine")) {
        ++files;
    }
    EXPECT_EQ(files, 2u); // the hive and its lock file
}

TEST(RegistryLocation, EnvironmentRelocatesBothHives)
{
    const char* saved = std::getenv("ZYR_REGISTRY_DIR");
    std::string keep = saved ? saved : "";
    ::setenv("ZYR_REGISTRY_DIR", "/tmp/zyr-elsewhere", 1);
    ResetLocation();
    EXPECT_EQ(CurrentLocation().machineDir, "/tmp/zyr-elsewhere");
    EXPECT_EQ(HivePath(HiveId::User), "/tmp/zyr-elsewhere/user.reg");
    ::unsetenv("ZYR_REGISTRY_DIR");
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(DefaultLocation().machineDir, "/etc/zyr/registry");
    EXPECT_EQ(DefaultLocation().userDir, "/tmp/xdg/zyr");
    ::unsetenv("XDG_CONFIG_HOME");
    if (saved) {
        ::setenv("ZYR_REGISTRY_DIR", keep.c_str(), 1);
    }
    ResetLocation();
}
