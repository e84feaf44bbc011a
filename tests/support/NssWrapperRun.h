// A test that needs the name service to know accounts of its own runs itself
// again, in a child of the test program, under nss_wrapper with passwd and
// group files it writes. Header only: it reports through the test framework.
#pragma once

#include "tests/support/PreloadWrappers.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace zyr::test {

// Writes the files into folder and runs the current test in the child; the
// test fails when the child does, and is skipped when the wrapper is not
// installed.
inline void RunAgainUnderNssWrapper(const std::filesystem::path& folder, std::string_view passwd,
                                    std::string_view group)
{
    const WrapperPath wrapper = NssWrapperLibrary();
    if (wrapper.path.empty()) {
        ASSERT_FALSE(wrapper.installed) << wrapper.problem;
        GTEST_SKIP() << wrapper.problem;
    }
    const auto passwdFile = folder / "passwd";
    const auto groupFile = folder / "group";
    std::ofstream(passwdFile) << passwd;
    std::ofstream(groupFile) << group;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = "--gtest_filter=" + std::string(test->test_suite_name()) + "." + test->name();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    pid_t child = fork();
    if (child == 0) {
        setenv("LD_PRELOAD", wrapper.path.c_str(), 1);
        setenv("NSS_WRAPPER_PASSWD", passwdFile.c_str(), 1);
        setenv("NSS_WRAPPER_GROUP", groupFile.c_str(), 1);
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
        execl(self.c_str(), self.c_str(), filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// True in the run under nss_wrapper. In the first run, runs the test there
// and returns false: the caller returns at once.
inline bool UnderNssWrapper(const std::filesystem::path& folder, std::string_view passwd,
                            std::string_view group)
{
    if (std::getenv("NSS_WRAPPER_GROUP") != nullptr) {
        return true;
    }
    RunAgainUnderNssWrapper(folder, passwd, group);
    return false;
}

} // namespace zyr::test
