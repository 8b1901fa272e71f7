#include "Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace tervane {

void PrepareConsole()
{
}

bool IsTerminalStream(int stream)
{
    return ::isatty(stream) == 1;
}

int TerminalColumns()
{
    winsize size {};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? static_cast<int>(size.ws_col) : 0;
}

std::vector<std::string> CommandArguments(int argc, char** argv)
{
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

} // namespace tervane
