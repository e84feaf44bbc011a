// A fresh machine explains itself: zyrsec's first-run messages and the doctor's
// checklist on a registry store made empty, one with the URL only, and one set
// up as the run script leaves it.
#include "platform/registry/RegistryStore.h"
#include "tests/tools/zyrsec/ZyrsecFixture.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using zyr::testing::ToolRun;

class DoctorTest : public zyr::testing::ZyrsecFixture {
protected:
    // Empties the registry store; url, when given, is its only value.
    void EmptyStore(const std::string& url = "")
    {
        fs::remove_all(dir_ / "registry");
        fs::create_directories(dir_ / "registry");
        zyr::registry::DropCachedHives();
        if (!url.empty()) {
            SetMachineText("URL", url);
        }
    }

    static void SetDefaultText(const std::string& path, const std::string& value)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, &disposition),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The doctor's --json verdicts by check; the exit status in status.
    std::map<std::string, std::string> Doctor(int& status)
    {
        ToolRun run = Zyrsec({"--json", "doctor"});
        status = run.status;
        std::map<std::string, std::string> verdicts;
        const zyr::testing::Tree answer = run.Json();
        for (const auto& [key, check] : answer.get_child("checks")) {
            verdicts[check.get<std::string>("check")] = check.get<std::string>("status");
        }
        return verdicts;
    }

    // Runs the doctor and expects its exit status and the verdicts listed
    // as "check=VERDICT, ..."; all its verdicts.
    std::map<std::string, std::string> ExpectDoctor(int expectedStatus, std::string_view expected)
    {
        int status = 0;
        auto verdicts = Doctor(status);
        EXPECT_EQ(status, expectedStatus);
        while (!expected.empty()) {
            std::string_view item = expected.substr(0, expected.find(", "));
            expected.remove_prefix(std::min(expected.size(), item.size() + 2));
            const size_t mark = item.rfind('=');
            const std::string check(item.substr(0, mark));
            EXPECT_EQ(verdicts[check], item.substr(mark + 1)) << check;
        }
        return verdicts;
    }
};

using zyr::testing::Contains;

TEST_F(DoctorTest, EmptyStoreNamesTheMissingUrlAndComponents)
{
    EmptyStore();
    ToolRun roles = Zyrsec({"roles"});
    EXPECT_EQ(roles.status, 1);
    EXPECT_TRUE(Contains(roles.err, "No security server is configured: set it with zyr-reg add "
                                    "\"HKLM\\SOFTWARE\\Tarnwick\\ZYR\" /v URL"))
        << roles.err;
    // --server names a server, but the authentication component is missing.
    ToolRun named = Zyrsec({"--server", url_, "roles"});
    EXPECT_EQ(named.status, 1);
    EXPECT_TRUE(
        Contains(named.err, "authentication component (ProgID Morvel.Authenticate) is not registered"))
        << named.err;
    EXPECT_TRUE(Contains(named.err, "zyr-register ")) << named.err;
    EXPECT_FALSE(Contains(named.err, "Invalid User Name or Password")) << named.err;

    ExpectDoctor(1, "registry store=FAIL, server URL=FAIL, authentication component=FAIL, "
                    "snap-in module=FAIL, cache folder=WARN, code page=OK");
}

TEST_F(DoctorTest, UrlOnlyStoreReachesTheServerButCannotSignIn)
{
    EmptyStore(url_);
    ExpectDoctor(1, "server URL=OK, transport=OK, server=OK, authorization component=FAIL, account=FAIL, "
                    "compliance=OK");

    EmptyStore("ftp://127.0.0.1/zyr/security");
    int status = 0;
    auto verdicts = Doctor(status);
    EXPECT_EQ(verdicts["server URL"], "FAIL");
    EXPECT_EQ(verdicts.count("server"), 0u);

    // A socket nobody serves and a CA file that cannot be read are named.
    EmptyStore(url_);
    SetMachineText("UnixSocket", (dir_ / "no-such.sock").string());
    SetMachineText("CAFile", (dir_ / "no-such-ca.pem").string());
    ExpectDoctor(1, "transport=FAIL, CA file=FAIL");
}

TEST_F(DoctorTest, PreparedStorePassesAndFlagsWhatDrifts)
{
    SetDefaultText("Tarnwick.ZYR.KVTSnapin\\CLSID", "{3B8D6E21-0F4A-4C57-9E12-6A7C5D10B301}");
    SetDefaultText("CLSID\\{3B8D6E21-0F4A-4C57-9E12-6A7C5D10B301}\\InprocServer32",
                   ZYR_AUTHENTICATION_MODULE);
    ::chmod((dir_ / "cache").c_str(), 0700);
    ToolRun plain = Zyrsec({"doctor"});
    EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
    EXPECT_TRUE(Contains(plain.out, "OK    server                       version 2.3; ")) << plain.out;
    EXPECT_FALSE(Contains(plain.out, "FAIL")) << plain.out;

    // A cache folder or file that others may read is reported with its fix.
    ::chmod((dir_ / "cache").c_str(), 0755);
    int status = 0;
    EXPECT_EQ(Doctor(status)["cache folder"], "WARN");
    EXPECT_EQ(status, 0);
    ::chmod((dir_ / "cache").c_str(), 0700);
    std::ofstream(dir_ / "cache" / "stray.xml") << "x";
    ::chmod((dir_ / "cache" / "stray.xml").c_str(), 0644);
    EXPECT_TRUE(Contains(Zyrsec({"doctor"}).out, "fix: chmod 600 ")) << plain.out;

    // A server that stopped answering fails the run with the cause.
    server_.Stop();
    ExpectDoctor(1, "server=FAIL, authentication component=OK");
    ToolRun roles = Zyrsec({"roles"});
    EXPECT_EQ(roles.status, 1);
    EXPECT_TRUE(Contains(roles.err, "does not answer (")) << roles.err;
}

} // namespace
