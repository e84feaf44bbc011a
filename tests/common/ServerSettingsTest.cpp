#include "common/ServerSettings.h"

#include "common/DirectoryClientIdentity.h"
#include "tests/common/SettingsFixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <fstream>

using namespace zyr::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char16_t* kAccessKey = u"{5C1B8E40-27D3-4A9F-B6E2-91F0D3C7A458}";

class ServerSettingsTest : public SettingsFixture {
protected:
    HRESULT ReadCachePath(std::string& path, DWORD capacity = 260)
    {
        std::string buffer(capacity, 'x');
        lastSize = capacity;
        HRESULT hr = GetCachePath(buffer.data(), &lastSize);
        path = capacity > 0 ? std::string(buffer.c_str()) : std::string();
        return hr;
    }
    std::string TempText() const { return tempDir.string() + "/zyr-" + std::to_string(geteuid()) + "/"; }
    DWORD lastSize = 0;
};

} // namespace

TEST_F(ServerSettingsTest, UrlIsTrimmedAndKeptOnceRead)
{
    ASSERT_TRUE(
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", " \t http://srv/zyr/request.aspx  "));
    std::string url;
    DWORD size = 256;
    char buffer[256];
    ASSERT_EQ(GetSecurityServerUrl(buffer, &size), S_OK);
    EXPECT_STREQ(buffer, "http://srv/zyr/request.aspx");
    EXPECT_EQ(size, 27u);

    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", "http://other/"));
    ASSERT_EQ(ReadUrl(url), S_OK);
    EXPECT_EQ(url, "http://srv/zyr/request.aspx");
}

TEST_F(ServerSettingsTest, MissingUrlIsReadAgainByTheNextCall)
{
    std::string url = "stale";
    EXPECT_EQ(ReadUrl(url), E_FAIL); // no key
    EXPECT_EQ(url, "");

    // A key with only a switch: success with an empty URL, and no caching.
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "UseServerADSI", 0));
    EXPECT_EQ(ReadUrl(url), S_OK);
    EXPECT_EQ(url, "");

    // Values of the wrong type or too long for their buffer count as absent.
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", 7));
    EXPECT_EQ(ReadUrl(url), S_OK);
    EXPECT_EQ(url, "");
    ASSERT_TRUE(
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", "http://" + std::string(249, 'a')));
    EXPECT_EQ(ReadUrl(url), S_OK);
    EXPECT_EQ(url, "");

    ASSERT_TRUE(
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", "http://srv/", REG_EXPAND_SZ));
    EXPECT_EQ(ReadUrl(url), S_OK);
    EXPECT_EQ(url, "http://srv/");
}

TEST_F(ServerSettingsTest, BufferTooSmallForTheUrlGetsTheLengthAndNoPartialCopy)
{
    ASSERT_TRUE(
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", "http://srv/zyr/request.aspx"));
    std::string url;
    // First read, from the registry, and then from the cache.
    for (int pass = 0; pass < 2; ++pass) {
        char buffer[27];
        std::memset(buffer, 'x', sizeof(buffer));
        DWORD size = sizeof(buffer);
        EXPECT_EQ(GetSecurityServerUrl(buffer, &size), E_FAIL);
        EXPECT_EQ(size, 27u);
        EXPECT_EQ(buffer[0], '\0');
        EXPECT_EQ(buffer[1], 'x');
    }
    EXPECT_EQ(ReadUrl(url, 28), S_OK);
    EXPECT_EQ(url, "http://srv/zyr/request.aspx");
}

TEST_F(ServerSettingsTest, SwitchesAreReadWithTheUrlAndZeroNeverTurnsOneOff)
{
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "EventLogging", 0));
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "NTGroupSupport", 5));
    ASSERT_TRUE(
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "SourceDomainForGroups", "  PLANT "));
    std::string url;
    EXPECT_EQ(ReadUrl(url), S_OK);
    zyr::ServerSettingsView view = zyr::CurrentServerSettings();
    EXPECT_FALSE(view.eventLogging);
    EXPECT_FALSE(view.useServerAdsi);
    EXPECT_TRUE(view.ntGroupSupport);
    EXPECT_TRUE(view.sourceDomainSet);
    EXPECT_EQ(view.sourceDomainForGroups, "PLANT");
    EXPECT_FALSE(zyr::EventLoggingOn());

    // The URL is still unknown, so the next call reads the switches again.
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "EventLogging", 1));
    EXPECT_EQ(ReadUrl(url), S_OK);
    EXPECT_TRUE(zyr::EventLoggingOn());
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "EventLogging", 0));
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kClientKey, "EventLogging", 0));
    EXPECT_EQ(ReadUrl(url), S_OK);
    bool novell = true;
    EXPECT_EQ(IsNovellClient(&novell), S_OK);
    EXPECT_TRUE(zyr::EventLoggingOn());
}

TEST_F(ServerSettingsTest, SecondKeyTurnsEventLoggingOnAndDirectoryClientOnlyForOne)
{
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kClientKey, "NovellClient", 2));
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kClientKey, "EventLogging", 3));
    bool novell = true;
    EXPECT_EQ(IsNovellClient(&novell), S_OK);
    EXPECT_FALSE(novell);
    EXPECT_TRUE(zyr::EventLoggingOn());

    // Read once per process.
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kClientKey, "NovellClient", 1));
    EXPECT_EQ(IsNovellClient(&novell), S_OK);
    EXPECT_FALSE(novell);

    zyr::ResetServerSettings();
    EXPECT_EQ(IsNovellClient(&novell), S_OK);
    EXPECT_TRUE(novell);
}

TEST_F(ServerSettingsTest, CachePathIsNormalisedAndKept)
{
    fs::create_directories(registry.Root() / "data" / "cache");
    std::string configured = "  " + registry.Root().string() + "\\data//cache ";
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath", configured));
    std::string path;
    ASSERT_EQ(ReadCachePath(path), S_OK);
    std::string expected = registry.Root().string() + "/data/cache/";
    EXPECT_EQ(path, expected);
    EXPECT_EQ(lastSize, expected.size());

    // Kept: a later change is not seen, and a small buffer gets the length.
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath", "/"));
    ASSERT_EQ(ReadCachePath(path), S_OK);
    EXPECT_EQ(path, expected);
    EXPECT_EQ(ReadCachePath(path, static_cast<DWORD>(expected.size())), E_FAIL);
    EXPECT_EQ(lastSize, expected.size());
    EXPECT_EQ(path, "");

    // A trailing separator is folded into the appended one.
    zyr::ResetServerSettings();
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath",
                                      registry.Root().string() + "/data/cache\\"));
    ASSERT_EQ(ReadCachePath(path), S_OK);
    EXPECT_EQ(path, expected);
}

TEST_F(ServerSettingsTest, UnusableCachePathFallsBackToTheTemporaryDirectory)
{
    fs::path file = registry.Root() / "file";
    std::ofstream(file) << "x";
    fs::path readOnly = registry.Root() / "readonly";
    fs::create_directories(readOnly);
    ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);

    std::string path;
    EXPECT_EQ(ReadCachePath(path), S_OK); // no value
    EXPECT_EQ(path, TempText());
    for (const fs::path& configured : {file, readOnly, registry.Root() / "missing"}) {
        zyr::ResetServerSettings();
        ASSERT_TRUE(
            TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath", configured.string()));
        ASSERT_EQ(ReadCachePath(path), S_OK);
        EXPECT_EQ(path, TempText()) << configured;
    }

    // A usable directory too long for the caller's buffer.
    zyr::ResetServerSettings();
    fs::path deep = registry.Root() / std::string(40, 'd');
    fs::create_directories(deep);
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath", deep.string()));
    ASSERT_EQ(ReadCachePath(path, static_cast<DWORD>(deep.string().size() + 1)), S_OK);
    EXPECT_EQ(path, TempText());
    chmod(readOnly.c_str(), 0755);
}

TEST_F(ServerSettingsTest, TemporaryDirectoryThatDoesNotFitIsNotKept)
{
    std::string path;
    DWORD needed = static_cast<DWORD>(TempText().size() + 1);
    EXPECT_EQ(ReadCachePath(path, needed - 1), E_FAIL);
    EXPECT_EQ(lastSize, needed);
    EXPECT_EQ(path, "");

    // Nothing was kept: the next reader finds the configured directory.
    fs::create_directories(registry.Root() / "c");
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath",
                                      (registry.Root() / "c").string()));
    ASSERT_EQ(ReadCachePath(path), S_OK);
    EXPECT_EQ(path, (registry.Root() / "c").string() + "/");

    // A blank value is no folder (it would name the root); $TMPDIR gets its separator.
    zyr::ResetServerSettings();
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath", "  "));
    setenv("TMPDIR", tempDir.c_str(), 1);
    ASSERT_EQ(ReadCachePath(path), S_OK);
    EXPECT_EQ(path, TempText());
}

TEST_F(ServerSettingsTest, TemporaryCacheFolderIsPrivateToTheAccount)
{
    // Made 0700; a wider folder of the account is narrowed.
    std::string path;
    ASSERT_EQ(ReadCachePath(path), S_OK);
    struct stat info {};
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    zyr::ResetServerSettings();
    chmod(path.c_str(), 0777);
    ASSERT_EQ(ReadCachePath(path), S_OK);
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A link planted in its place is not followed: no cache folder at all.
    zyr::ResetServerSettings();
    fs::remove_all(path);
    fs::create_directories(tempDir / "elsewhere");
    fs::create_directory_symlink(tempDir / "elsewhere", fs::path(path).parent_path());
    EXPECT_EQ(ReadCachePath(path), E_FAIL);
    EXPECT_EQ(path, "");
}

TEST_F(ServerSettingsTest, ComputerNameOfSixteenCharactersIsUnknown)
{
    host = "cell-controller-01.plant.example"; // short name of 18 characters
    EXPECT_EQ(GetLocalComputerName(), "Unknown");
    host = "abcdefghijklmnop"; // 16
    EXPECT_EQ(GetLocalComputerName(), "Unknown");
    host = "abcdefghijklmno"; // 15
    EXPECT_EQ(GetLocalComputerName(), "ABCDEFGHIJKLMNO");
    host.clear();
    EXPECT_EQ(GetLocalComputerName(), "Unknown");
}

TEST_F(ServerSettingsTest, LogonUserFallsBackStepByStep)
{
    std::string full;
    GetFullUserName(full);
    EXPECT_EQ(full, "BUILD-07\\operator");

    account = "jdoe@PLANT.EXAMPLE";
    GetFullUserName(full);
    EXPECT_EQ(full, "PLANT.EXAMPLE\\jdoe");

    account.clear();
    login = "console";
    GetFullUserName(full);
    EXPECT_EQ(full, "\\console");

    login.clear();
    environment["LOGNAME"] = "fromenv";
    GetFullUserName(full);
    EXPECT_EQ(full, "\\fromenv");
    EXPECT_TRUE(log.recorder.debugLines.empty());

    environment.clear();
    std::string domain = "x";
    std::string user = "y";
    EXPECT_EQ(GetLogonUser(domain, user), S_OK);
    EXPECT_EQ(domain, "");
    EXPECT_EQ(user, "<unknown>");
    ASSERT_EQ(log.recorder.debugLines.size(), 1u);
    EXPECT_EQ(log.recorder.debugLines[0], "~~~~ GetUserName return: 0xcb");
}

namespace {

class CDirectoryIdentity : public zyr::com::ComObject<IDirectoryClientIdentity> {
public:
    explicit CDirectoryIdentity(bool contextFails) : contextFails_(contextFails) {}
    HRESULT Reserved1() override { return E_NOTIMPL; }
    HRESULT Reserved2() override { return E_NOTIMPL; }
    HRESULT Reserved3() override { return E_NOTIMPL; }
    HRESULT Reserved4() override { return E_NOTIMPL; }
    HRESULT GetUserName(std::u16string* name) override
    {
        *name = u"jdoe";
        return S_FALSE;
    }
    HRESULT GetContext(std::u16string* context) override
    {
        if (contextFails_) {
            return E_FAIL;
        }
        *context = u"O=Plant";
        return S_OK;
    }

private:
    bool contextFails_;
};

} // namespace

TEST_F(ServerSettingsTest, DirectoryClientOperatorsComeFromTheIdentityComponent)
{
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kClientKey, "NovellClient", 1));
    // Not provided: the creation fails and the caller's text stays as it was.
    std::string full = "before";
    GetFullUserName(full);
    EXPECT_EQ(full, "before");
    std::string domain;
    std::string user;
    EXPECT_EQ(GetLogonUser(domain, user), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(user, "");

    bool contextFails = false;
    zyr::com::RegisterClass(CLSID_DirectoryClientIdentity, [&](const IID& iid, void** object) {
        auto* identity = new CDirectoryIdentity(contextFails);
        HRESULT hr = identity->QueryInterface(iid, object);
        identity->Release();
        return hr;
    });
    EXPECT_EQ(GetLogonUser(domain, user), S_FALSE); // the account-name call's result
    EXPECT_EQ(domain, "O=Plant");
    EXPECT_EQ(user, "jdoe");
    contextFails = true;
    GetFullUserName(full);
    EXPECT_EQ(full, "\\jdoe");
}

TEST_F(ServerSettingsTest, SetSecurityServerNeedsTheAccessKeyAndRoomForTheUrl)
{
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", "http://registry/"));
    EXPECT_EQ(SetSecurityServer(u"{5c1b8e40-27d3-4a9f-b6e2-91f0d3c7a458}", u"http://other/"), E_INVALIDARG);
    EXPECT_EQ(SetSecurityServer(nullptr, u"http://other/"), E_INVALIDARG);
    std::string url;
    ASSERT_EQ(ReadUrl(url), S_OK);
    EXPECT_EQ(url, "http://registry/");

    std::u16string tooLong = u"http://" + std::u16string(293, u'a'); // 300 characters
    EXPECT_EQ(SetSecurityServer(kAccessKey, tooLong.c_str()), E_FAIL);
    ASSERT_EQ(ReadUrl(url), S_OK);
    EXPECT_EQ(url, "http://registry/"); // the URL in force is untouched

    std::u16string url256 = u"http://" + std::u16string(249, u'b');
    ASSERT_EQ(SetSecurityServer(kAccessKey, url256.c_str()), S_OK);
    char buffer[256];
    DWORD size = sizeof(buffer);
    EXPECT_EQ(GetSecurityServerUrl(buffer, &size), E_FAIL);
    EXPECT_EQ(size, 256u);
    EXPECT_EQ(buffer[0], '\0');
    ASSERT_EQ(ReadUrl(url, 257), S_OK);
    EXPECT_EQ(url.size(), 256u);
}

TEST_F(ServerSettingsTest, SetSecurityServerBeforeAnyReadKeepsTheRegistryUnread)
{
    ASSERT_TRUE(TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", "http://registry/"));
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "EventLogging", 1));
    ASSERT_EQ(SetSecurityServer(kAccessKey, u"http://caller/zyr"), S_OK);
    std::string url;
    ASSERT_EQ(ReadUrl(url), S_OK);
    EXPECT_EQ(url, "http://caller/zyr");
    EXPECT_FALSE(zyr::EventLoggingOn());
}
