// tervane-q7: everything the dashboard does to a Skellin Q7, from the command line and
// from scripts, through the same procedures as the dashboard's pages.

#include "InterruptCleanup.h"
#include "RunCli.h"
#include "SafeXml.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    tervane::InstallInterruptCleanup();
    tervane::InitXmlLibrary();
    tervane::CliEnvironment environment;
    environment.in = &std::cin;
    environment.out = &std::cout;
    environment.err = &std::cerr;
    environment.inputIsTerminal = isatty(STDIN_FILENO) == 1;
    // A terminal that cannot move its cursor back gets no bar.
    const char* term = std::getenv("TERM");
    environment.errorIsTerminal = isatty(STDERR_FILENO) == 1 && !(term && std::strcmp(term, "dumb") == 0);
    environment.outputIsTerminal = isatty(STDOUT_FILENO) == 1 && !(term && std::strcmp(term, "dumb") == 0);
    // Asked at every redraw, so that the bar follows the window's size.
    environment.terminalWidth = [] {
        winsize size{};
        return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? static_cast<int>(size.ws_col) : 0;
    };
    const int status = tervane::RunCli(std::vector<std::string>(argv + 1, argv + argc), environment);
    std::cout.flush();
    tervane::CleanupXmlLibrary();
    return status;
}
