// A test of one built command-line program: its path, and a temporary folder
// of the test's own, removed afterwards.
#pragma once

#include "tests/support/ProgramRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zyr::testing {

class ToolFixture : public ::testing::Test {
protected:
    ToolFixture(std::string program, std::string folderPrefix)
        : name_(std::move(program)), folderPrefix_(std::move(folderPrefix))
    {
    }
    void SetUp() override
    {
        program_ = zyr::test::BuiltProgram(name_);
        ASSERT_TRUE(std::filesystem::exists(program_)) << program_ << " is not built";
        dir_ = zyr::test::MakeTempFolder(folderPrefix_);
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::filesystem::path program_;
    std::filesystem::path dir_;

private:
    std::string name_;
    std::string folderPrefix_;
};

} // namespace zyr::testing
