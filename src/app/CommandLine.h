#pragma once

#include "SimOptions.h"

#include <string>
#include <string_view>
#include <vector>

namespace tervane {

// What the dashboard's command line asks for. Read before the application needs a display,
// so --help and --version work without one.
struct CommandLine {
    // The arguments after the program name joined by blanks; "/debug" is looked for in it.
    std::string text;
    bool simulate = false;
    // With --simulate: the simulated gateways, from the options tervane-q7-sim takes
    // (--fault, --model, --signal, --count, ...), which may stand anywhere on the line.
    sim::SimOptions simulator;
    std::string port;
    bool help = false;
    bool version = false;
    // Not empty when the command line is wrong.
    std::string error;
};

// Options take one dash or two ("--port=PATH", "--port PATH"); Qt's own options (-platform,
// -style, ...) are accepted and left to QApplication; words without a dash are left to the
// "/debug" test and otherwise ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// "/debug" anywhere in the command line, as typed (a plain, case-sensitive substring).
bool WantsCommandLog(std::string_view commandLineText);

std::string UsageText();

} // namespace tervane
