// zyrsec: command-line administration of the security database.
#include "tools/zyrsec/ZyrsecRun.h"

#include "ZyrVersion.h"

#include <unistd.h>

int main(int argc, char** argv)
{
    if (zyr::PrintVersion(argc, argv, "zyrsec")) {
        return 0;
    }
    std::vector<std::string> arguments(argv + 1, argv + argc);
    zyr::zyrsec::RunStreams streams;
    streams.outIsTerminal = isatty(STDOUT_FILENO) != 0;
    streams.errIsTerminal = isatty(STDERR_FILENO) != 0;
    streams.inIsTerminal = isatty(STDIN_FILENO) != 0;
    return zyr::zyrsec::RunZyrsec(arguments, streams);
}
