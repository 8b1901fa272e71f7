#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace tervane {

class Clock;

// Exit statuses of tervane-q7.
enum ExitStatus {
    kExitDone = 0,      // done
    kExitRefused = 1,   // the device refused, or a verification failed
    kExitUsage = 2,     // the command line is wrong
    kExitNoDevice = 3,  // no device to talk to
    kExitDrift = 4,     // apply --check: the gateway differs from the profile
};

// What the tool runs in: its streams, whether they are terminals, and the clock of the
// link. The program fills it from the process; tests run the tool in-process with their
// own streams and a clock whose pauses pass quickly.
struct CliEnvironment {
    std::istream* in = nullptr;
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    // Questions are asked only on a terminal.
    bool inputIsTerminal = false;
    // The progress bar is drawn only on a terminal.
    bool errorIsTerminal = false;
    // watch redraws one meter line in place only on a terminal.
    bool outputIsTerminal = false;
    // The columns of standard error's terminal; none or 0: 80.
    std::function<int()> terminalWidth;
    // None: real time.
    Clock* clock = nullptr;
    // Where the modem ports are looked for.
    std::string sysRoot = "/sys";
    std::string devDir = "/dev";
};

} // namespace tervane
