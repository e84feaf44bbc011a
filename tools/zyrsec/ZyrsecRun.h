// One run of zyrsec: the command line parsed, the sign-in, the command and
// its output. main() is this and nothing else, so that tests can run the
// whole tool in-process as well as through the built program.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zyr::zyrsec {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1; // refused or failed
constexpr int kExitUsage = 2;

struct RunStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    std::FILE* in = stdin;
    bool outIsTerminal = false; // progress lines and questions need a terminal
    bool errIsTerminal = false;
    bool inIsTerminal = false;
};

// Runs the tool on the arguments after the program name; answers the exit
// status.
int RunZyrsec(const std::vector<std::string>& arguments, const RunStreams& streams);

} // namespace zyr::zyrsec
