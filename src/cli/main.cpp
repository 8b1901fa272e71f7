// tervane-q7: everything the dashboard does to a Skellin Q7, from the command line and
// from scripts, through the same procedures as the dashboard's pages.

#include "RunCli.h"
#include "SafeXml.h"

#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    tervane::InitXmlLibrary();
    tervane::CliEnvironment environment;
    environment.in = &std::cin;
    environment.out = &std::cout;
    environment.err = &std::cerr;
    environment.inputIsTerminal = isatty(STDIN_FILENO) == 1;
    environment.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    const int status = tervane::RunCli(std::vector<std::string>(argv + 1, argv + argc), environment);
    std::cout.flush();
    tervane::CleanupXmlLibrary();
    return status;
}
