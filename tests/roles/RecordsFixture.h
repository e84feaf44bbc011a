// A clean process for the record tests: the settings fixture's registry and
// identity, the server URL and cache folder in the registry, a known operator
// and computer, no current lists, no cache texts, a recording UI service.
#pragma once

#include "cache/CacheFiles.h"
#include "cache/TextCipher.h"
#include "common/KvtXml.h"
#include "common/QueryEscape.h"
#include "common/RequestFrame.h"
#include "common/StringTable.h"
#include "platform/ui/UiService.h"
#include "roles/RoleList.h"
#include "tests/common/SettingsFixture.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/ScriptedHttpServer.h"
#include "web/WebPage.h"

#include <filesystem>
#include <string>
#include <vector>

// Starts the reference server and points the configuration at it; skips the
// test where the server is not built.
#define ZYR_USE_REFERENCE_SERVER()                                                                           \
    do {                                                                                                     \
        if (!std::filesystem::exists(zyr::test::ReferenceServer::ExecutablePath())) {                        \
            GTEST_SKIP() << "the reference server is not built";                                             \
        }                                                                                                    \
        ASSERT_TRUE(UseReference());                                                                         \
    } while (false)

namespace zyr::testing {

class RecordsFixture : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        cacheDir = tempDir / "cache";
        std::filesystem::create_directories(cacheDir);
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath", cacheDir.string() + "/");
        zyr::ResetRequestIdentity();
        zyr::SetCurrentUserName("PLANT\\op one");
        zyr::SetCurrentComputerName("BUILD-07");
        zyr::web::ResetWebSession();
        zyr::cache::ResetCacheFiles();
        zyr::records::ResetCurrentRoleList();
        zyr::ui::InstallUiService(&ui);
    }
    void TearDown() override
    {
        zyr::ui::ResetUiService();
        zyr::records::ResetCurrentRoleList();
        zyr::cache::ResetCacheFiles();
        zyr::web::ResetWebSession();
        zyr::ResetRequestIdentity();
        SettingsFixture::TearDown();
    }

    // The scripted server, as the configured security server.
    void UseScripted() { UseServer(scripted.Url("/sec")); }
    // The reference server with the demo data, as the configured server.
    bool UseReference()
    {
        if (!reference.Start({"--seed", "demo", "--enable-test-controls"})) {
            return false;
        }
        UseServer(reference.RequestUrl());
        return true;
    }
    // The request target the records compose after the server URL.
    std::string Target(const std::string& query) const { return "/sec" + query; }

    // Whether the trace holds a line or event with text.
    bool Traced(const std::string& text) const
    {
        for (const auto& line : log.recorder.debugLines) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        for (const auto& event : log.recorder.events) {
            if (event.text.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    // An XML reply document.
    static std::string Document(const std::string& inner)
    {
        return "<?xml version=\"1.0\"?><DOCUMENT>" + inner + "</DOCUMENT>";
    }
    static std::string Enc(const std::string& plain) { return zyr::cipher::Encrypt(plain); }
    static std::string Esc(const std::string& text) { return ::EscapeQueryValue(text); }

    std::filesystem::path cacheDir;
    zyr::ui::RecordingUiService ui;
    zyr::test::ScriptedHttpServer scripted;
    zyr::test::ReferenceServer reference;
};

// The names of a role's members.
std::vector<std::string> MemberNames(const auto& members)
{
    std::vector<std::string> names;
    for (const auto& m : members) {
        names.push_back(m->Name.str());
    }
    return names;
}

// One element of a list reply whose children are texts (T0, T1, ...) or
// elements given whole.
inline std::string Element(const std::string& tag, const std::vector<std::string>& children)
{
    std::string out = "<" + tag + ">";
    for (size_t i = 0; i < children.size(); ++i) {
        out += children[i].starts_with("<")
                   ? children[i]
                   : "<T" + std::to_string(i) + ">" + children[i] + "</T" + std::to_string(i) + ">";
    }
    return out + "</" + tag + ">";
}

} // namespace zyr::testing
