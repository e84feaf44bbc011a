// The built command-line programs run from the tests through the shell, with
// standard input, output and error in files of a test's folder.
#pragma once

#include "tests/support/TestFiles.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace zyr::test {

struct ProgramRun {
    int status = -1; // the exit status; -1 when the program did not exit
    std::string out;
    std::string err;
};

// The text as one word for the shell.
inline std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// A program of the build: beside the test program, or in the folder
// ZYR_BIN_DIR names when the tests run elsewhere.
inline std::filesystem::path BuiltProgram(std::string_view name)
{
    const char* bin = std::getenv("ZYR_BIN_DIR");
    return (bin != nullptr && *bin != '\0' ? std::filesystem::path(bin)
                                           : std::filesystem::read_symlink("/proc/self/exe").parent_path()) /
           name;
}

// Runs a shell command with standard input from input; its output and error
// pass through the files stdout and stderr of dir.
inline ProgramRun RunShellCommand(const std::string& command, const std::filesystem::path& dir,
                                  const std::string& input)
{
    std::ofstream(dir / "stdin", std::ios::binary) << input;
    const std::string full = command + " <" + ShellQuote((dir / "stdin").string()) + " >" +
                             ShellQuote((dir / "stdout").string()) + " 2>" +
                             ShellQuote((dir / "stderr").string());
    const int raw = std::system(full.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = FileContent(dir / "stdout");
    run.err = FileContent(dir / "stderr");
    return run;
}

} // namespace zyr::test
