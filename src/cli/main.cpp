// tervane-q7: everything the dashboard does to a Skellin Q7, from the command line and
// from scripts, through the same procedures as the dashboard's pages.

#include "Console.h"
#include "InterruptCleanup.h"
#include "RunCli.h"
#include "SafeXml.h"

#include <cstdlib>
#include <cstring>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    tervane::PrepareConsole();
    tervane::InstallInterruptCleanup();
    tervane::InitXmlLibrary();
    tervane::CliEnvironment environment;
    environment.in = &std::cin;
    environment.out = &std::cout;
    environment.err = &std::cerr;
    environment.inputIsTerminal = tervane::IsTerminalStream(0);
    // A terminal that cannot move its cursor back gets no bar.
    const char* term = std::getenv("TERM");
    environment.errorIsTerminal = tervane::IsTerminalStream(2) && !(term && std::strcmp(term, "dumb") == 0);
    environment.outputIsTerminal = tervane::IsTerminalStream(1) && !(term && std::strcmp(term, "dumb") == 0);
    // Asked at every redraw, so that the bar follows the window's size.
    environment.terminalWidth = [] { return tervane::TerminalColumns(); };
    const int status = tervane::RunCli(tervane::CommandArguments(argc, argv), environment);
    std::cout.flush();
    tervane::CleanupXmlLibrary();
    return status;
}
