// A clean process for the configuration tests: an empty registry store, no
// cached settings, scripted identity queries, a recording log and a temporary
// directory of its own.
#pragma once

#include "common/ServerSettings.h"
#include "platform/com/ClassTable.h"
#include "platform/identity/Identity.h"
#include "platform/log/LogSink.h"
#include "platform/text/CodePage.h"
#include "tests/platform/TempRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace zyr::testing {

constexpr const char* kFrameworkKey = "SOFTWARE\\Tarnwick\\ZYR";
constexpr const char* kClientKey = "Software\\Tarnwick\\Zyr";

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        zyr::ResetServerSettings();
        zyr::text::ResetCodePage();
        const char* previous = std::getenv("TMPDIR");
        if (previous != nullptr) {
            savedTmpDir_ = previous;
        }
        tempDir = registry.Root() / "tmp";
        std::filesystem::create_directories(tempDir);
        setenv("TMPDIR", tempDir.c_str(), 1);
        zyr::identity::InstallOsQueries({[this](std::string& name) { return Answer(host, name); },
                                         [this](std::string& name) { return Answer(account, name); },
                                         [this](std::string& name) { return Answer(login, name); },
                                         [this](const char* name) -> std::optional<std::string> {
                                             auto it = environment.find(name);
                                             return it == environment.end()
                                                        ? std::nullopt
                                                        : std::optional<std::string>(it->second);
                                         }});
    }
    void TearDown() override
    {
        zyr::identity::ResetOsQueries();
        zyr::com::ResetClassTable();
        zyr::ResetServerSettings();
        zyr::text::ResetCodePage();
        if (savedTmpDir_) {
            setenv("TMPDIR", savedTmpDir_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    static bool Answer(const std::string& value, std::string& out)
    {
        out = value;
        return !value.empty();
    }

    // Reads the URL the way the data records do, into a 256-byte buffer.
    static HRESULT ReadUrl(std::string& url, DWORD capacity = 256)
    {
        std::string buffer(capacity, 'x');
        DWORD size = capacity;
        HRESULT hr = GetSecurityServerUrl(buffer.data(), &size);
        url = capacity > 0 ? std::string(buffer.c_str()) : std::string();
        return hr;
    }

    // Points the configuration at url (read on first use by each record).
    static void UseServer(const std::string& url)
    {
        zyr::ResetServerSettings();
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", url);
    }

    TempRegistry registry;
    zyr::log::ScopedRecordingLog log;
    std::filesystem::path tempDir;
    std::string host = "build-07";
    std::string account = "operator";
    std::string login;
    std::map<std::string, std::string> environment;

private:
    std::optional<std::string> savedTmpDir_;
};

} // namespace zyr::testing
