// Runs the built zyrsec program against the reference security server seeded
// with the demo data, in a registry store of its own (ZYR_REGISTRY_DIR) that
// names the server and a cache folder and registers the framework's
// component modules. The account running the tests is the seed's
// administrator, so the logon user signs in.
#pragma once

#include "audit/ComponentModules.h"
#include "common/ServerSettings.h"
#include "platform/registry/Registry.h"
#include "tests/platform/TempRegistry.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ReferenceServer.h"
#include "web/SecurityPost.h"

#define BOOST_BIND_GLOBAL_PLACEHOLDERS
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace zyr::testing {

namespace fs = std::filesystem;
using Tree = boost::property_tree::ptree;

struct ToolRun : zyr::test::ProgramRun {
    // The --json answer parsed back; fails the test when it is not JSON.
    Tree Json() const
    {
        Tree tree;
        std::istringstream in(out);
        try {
            boost::property_tree::read_json(in, tree);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not JSON: " << e.what() << "\n" << out;
        }
        return tree;
    }
};

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class ZyrsecFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        program_ = zyr::test::BuiltProgram("zyrsec");
        if (!fs::exists(program_) || !fs::exists(zyr::test::ReferenceServer::ExecutablePath())) {
            GTEST_SKIP() << "zyrsec or the reference server is not built";
        }
        dir_ = zyr::test::MakeTempFolder("zyrsec-test");
        ASSERT_FALSE(dir_.empty());
        fs::create_directories(dir_ / "registry");
        fs::create_directories(dir_ / "cache");
        zyr::registry::SetLocation({(dir_ / "registry").string(), (dir_ / "registry").string()});
        ASSERT_TRUE(server_.Start(ServerArguments()));
        url_ = server_.RequestUrl();
        SetMachineText("URL", url_);
        SetMachineText("CachePath", (dir_ / "cache").string());
        ASSERT_EQ(zyr::audit::RegisterComponentModule(ZYR_AUTHENTICATION_MODULE), S_OK);
        ASSERT_EQ(zyr::audit::RegisterComponentModule(ZYR_AUTHORIZATION_MODULE), S_OK);
        ASSERT_EQ(zyr::audit::RegisterComponentModule(ZYR_ALARM_EVENTS_MODULE), S_OK);
    }

    virtual std::vector<std::string> ServerArguments()
    {
        return {"--seed", "demo", "--enable-test-controls"};
    }

    void TearDown() override
    {
        server_.Stop();
        zyr::registry::ResetLocation();
        if (!dir_.empty()) {
            std::error_code ignored;
            fs::remove_all(dir_, ignored);
        }
    }

    static void SetMachineText(const char* name, const std::string& value)
    {
        ASSERT_TRUE(
            zyr::testing::TempRegistry::SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick\\ZYR", name, value));
    }

    // Runs zyrsec with these arguments (each quoted), standard input from input.
    ToolRun Zyrsec(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        std::string command = environment_ +
                              " ZYR_REGISTRY_DIR=" + zyr::test::ShellQuote((dir_ / "registry").string()) +
                              " " + zyr::test::ShellQuote(program_.string());
        for (const auto& argument : arguments) {
            command += " " + zyr::test::ShellQuote(argument);
        }
        return ToolRun{zyr::test::RunShellCommand(command, dir_, input)};
    }

    // A fault of the server's test controls; "OK" when it took it.
    std::string Fault(const std::string& body)
    {
        return PostSecurityRequest(url_ + "?Object=Test&Operation=Fault", body);
    }

    // The newest audit record as zyrsec reads it.
    Tree NewestAudit()
    {
        ToolRun run = Zyrsec({"--json", "audit"});
        EXPECT_EQ(run.status, 0) << run.err;
        Tree tree = run.Json();
        auto records = tree.get_child_optional("records");
        if (!records || records->empty()) {
            ADD_FAILURE() << "no audit record";
            return {};
        }
        return records->begin()->second;
    }

    fs::path program_;
    fs::path dir_;
    // Variables set for each run of zyrsec ("NAME=value ...").
    std::string environment_;
    zyr::test::ReferenceServer server_;
    std::string url_;
};

} // namespace zyr::testing
