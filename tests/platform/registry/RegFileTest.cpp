#include "platform/registry/RegFile.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zyr::registry;

namespace {

std::vector<BYTE> Bytes(std::string_view text, bool terminate = false)
{
    std::vector<BYTE> out(text.begin(), text.end());
    if (terminate) {
        out.push_back(0);
    }
    return out;
}

// A regedit export as regedit writes it: UTF-16LE with a byte order mark.
using zyr::test::Utf16LeFile;

RegistryHive Load(std::string_view file, HiveId hive = HiveId::Machine)
{
    RegFileDocument document;
    RegFileError error;
    EXPECT_TRUE(ParseRegFile(file, document, error)) << error.line << ": " << error.message;
    RegistryHive target(RootName(hive));
    ApplyRegFile(document, hive, target);
    return target;
}

} // namespace

TEST(RegFile, EveryTypeSurvivesTheFile)
{
    RegistryHive hive("HKEY_LOCAL_MACHINE");
    RegistryKey& key = hive.Create({"Software", "Tarnwick", "ZYR"});
    std::vector<BYTE> longBinary;
    for (int i = 0; i < 200; ++i) {
        longBinary.push_back(static_cast<BYTE>(i));
    }
    const std::vector<RegistryValue> values = {
        {"", REG_SZ, Bytes("default", true)},
        {"URL", REG_SZ, Bytes("http://srv/zyr/request.asp", true)},
        {"Quoted \"name\" \\ here", REG_SZ, Bytes("C:\\Data \"x\"", true)},
        {"Lines", REG_SZ, Bytes("one\r\ntwo", true)},
        {"Unterminated", REG_SZ, Bytes("abc")},
        {"Latin1", REG_SZ, Bytes("caf\xE9", true)}, // not UTF-8: kept byte for byte
        {"Unicode", REG_SZ, Bytes("Gr\xC3\xBC\xC3\x9F \xF0\x9F\x94\x91", true)},
        {"Expand", REG_EXPAND_SZ, Bytes("%TEMP%\\zyr", true)},
        {"Multi", REG_MULTI_SZ, Bytes(std::string_view("a\0\xC3\xBC\0\xFF\0\0", 8))},
        {"Dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {"ShortDword", REG_DWORD, {1, 2, 3}},
        {"Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Binary", REG_BINARY, longBinary},
        {"None", REG_NONE, {}},
        {"Custom", 0x1234, {9, 8}},
    };
    for (const auto& value : values) {
        key.SetValue(value.name, value.type, value.data);
    }
    hive.Create({"Software", "Empty]Key"});

    std::string file = WriteRegFile(hive.Root(), "HKEY_LOCAL_MACHINE", false);
    RegistryHive back = Load(file);

    const RegistryKey* loaded = back.Find({"SOFTWARE", "tarnwick", "zyr"});
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->Values().size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(values[i].name);
        EXPECT_EQ(loaded->Values()[i].name, values[i].name);
        EXPECT_EQ(loaded->Values()[i].type, values[i].type);
        EXPECT_EQ(loaded->Values()[i].data, values[i].data);
    }
    EXPECT_NE(back.Find({"Software", "Empty]Key"}), nullptr);
    // Writing what was read gives the same file again.
    EXPECT_EQ(WriteRegFile(back.Root(), "HKEY_LOCAL_MACHINE", false), file);
}

TEST(RegFile, ReadsRegeditUtf16ExportWithContinuationsCommentsAndDeletions)
{
    std::string file = Utf16LeFile(u"Windows Registry Editor Version 5.00\r\n"
                                   u"\r\n"
                                   u"; written by hand\r\n"
                                   u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\ZYR]\r\n"
                                   u"@=\"Zyr \u00dcn\u00efcode\"\r\n"
                                   u"\"URL\"=\"http://srv/zyr/request.asp\"\r\n"
                                   u"\"CachePath\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,\\\r\n"
                                   u"  7a,00,79,00,72,00,00,00\r\n"
                                   u"\"Servers\"=hex(7):61,00,00,00,fc,00,00,00,00,00\r\n"
                                   u"\"EventLogging\"=dword:00000001\r\n"
                                   u"\"Big\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                                   u"\"Gone\"=\"x\"\r\n"
                                   u"\"Gone\"=-\r\n"
                                   u"\r\n"
                                   u"[HKEY_CLASSES_ROOT\\CLSID\\{ABC}]\r\n"
                                   u"@=\"class\"\r\n"
                                   u"\r\n"
                                   u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
                                   u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
                                   u"\r\n"
                                   u"[HKEY_CURRENT_USER\\Software\\Tarnwick]\r\n"
                                   u"\"User\"=\"me\"\r\n");
    RegFileDocument document;
    RegFileError error;
    ASSERT_TRUE(ParseRegFile(file, document, error)) << error.line << ": " << error.message;
    RegistryHive machine("HKEY_LOCAL_MACHINE");
    RegistryHive user("HKEY_CURRENT_USER");
    ApplyRegFile(document, HiveId::Machine, machine);
    ApplyRegFile(document, HiveId::User, user);

    const RegistryKey* zyr = machine.Find({"Software", "Tarnwick", "ZYR"});
    ASSERT_NE(zyr, nullptr);
    EXPECT_EQ(zyr->FindValue("")->data, Bytes("Zyr \xC3\x9Cn\xC3\xAF"
                                              "code",
                                              true));
    EXPECT_EQ(zyr->FindValue("CachePath")->type, REG_EXPAND_SZ);
    EXPECT_EQ(zyr->FindValue("CachePath")->data, Bytes("%TEMP%\\zyr", true));
    EXPECT_EQ(zyr->FindValue("Servers")->data, Bytes(std::string_view("a\0\xC3\xBC\0\0", 6)));
    EXPECT_EQ(zyr->FindValue("EventLogging")->data, (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(zyr->FindValue("Big")->type, REG_QWORD);
    EXPECT_EQ(zyr->FindValue("Gone"), nullptr);
    EXPECT_EQ(zyr->Values().size(), 6u);
    ASSERT_NE(machine.Find({"Software", "Classes", "CLSID", "{abc}"}), nullptr);
    EXPECT_EQ(machine.Find({"Software", "Old"}), nullptr);
    EXPECT_EQ(user.Find({"Software", "Tarnwick"})->FindValue("user")->data, Bytes("me", true));
    EXPECT_EQ(machine.Find({"Software", "Tarnwick"})->FindSubKey("zyr")->Name(), "ZYR");
}

TEST(RegFile, Utf8WithByteOrderMarkAndLegacyHeaderAreRead)
{
    RegistryHive bom =
        Load("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"1\"\n",
             HiveId::User);
    EXPECT_NE(bom.Find({"A"})->FindValue("v"), nullptr);
    // REGEDIT4 files carry hex(2) and hex(7) as single-byte texts.
    RegistryHive legacy = Load("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"e\"=hex(2):41,42,00\n");
    EXPECT_EQ(legacy.Find({"A"})->FindValue("e")->data, Bytes("AB", true));
}

TEST(RegFile, MalformedLinesAreReportedWithTheirLine)
{
    const std::string header = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n";
    struct Case {
        std::string text;
        int line;
    };
    const Case cases[] = {
        {"hello\n", 1},
        {"Windows Registry Editor Version 5.00\n\"v\"=\"outside\"\n", 2},
        {header + "\"v\"=dword:xyz\n", 4},
        {header + "\"v\"=dword:123456789\n", 4},
        {header + "\"v\"=\"C:\\Data\"\n", 4},
        {header + "\"v\"=\"open\n", 4},
        {header + "\"v\"=\"a\" trailing\n", 4},
        {header + "\"v\"=hex:01,0g\n", 4},
        {header + "\"v\"=hex(2\n", 4},
        {header + "\"v\"=word:1\n", 4},
        {header + "\"v\"=hex:01,02,\\\n  03,zz\n\"w\"=\"ok\"\n", 4},
        {header + "just text\n", 4},
        {header + "[HKEY_USERS\\S-1-5]\n", 4},
        {header + "[HKEY_LOCAL_MACHINE\\A\n", 4},
        {header + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RegFileDocument document;
        RegFileError error;
        EXPECT_FALSE(ParseRegFile(c.text, document, error));
        EXPECT_EQ(error.line, c.line) << error.message;
        EXPECT_FALSE(error.message.empty());
        EXPECT_TRUE(document.sections.empty());
    }
}

TEST(RegFile, KeyNamesTakeEveryRootFormAndRefuseEmptyParts)
{
    KeyPath key;
    ASSERT_TRUE(ParseKeyName("hkcr\\CLSID\\", key));
    EXPECT_EQ(key.hive, HiveId::Machine);
    EXPECT_EQ(key.parts, (KeyParts{"Software", "Classes", "CLSID"}));
    ASSERT_TRUE(ParseKeyName("HKEY_CURRENT_USER", key));
    EXPECT_EQ(key.hive, HiveId::User);
    EXPECT_TRUE(key.parts.empty());
    EXPECT_FALSE(ParseKeyName("HKU\\x", key));
    EXPECT_FALSE(ParseKeyName("HKLM\\a\\\\b", key));
    EXPECT_FALSE(ParseKeyName("HKLM\\" + std::string(256, 'k'), key));
    EXPECT_TRUE(ParseKeyName("HKLM\\" + std::string(255, 'k'), key));
}
