#pragma once

#include "DeviceConfig.h"
#include "Faults.h"

#include <string>
#include <vector>

namespace tervane::sim {

// The command line of tervane-q7-sim.
struct SimOptions {
    DeviceConfig config;
    Faults faults;
    std::string linkPath;
    // How many independent gateways to publish (--count).
    int count = 1;
    bool help = false;
    bool version = false;
    // Not empty when the command line is wrong.
    std::string error;
};

inline constexpr int kMaxSimCount = 64;

// The arguments after the program name.
SimOptions ParseSimOptions(const std::vector<std::string>& args);

// How many words from args[i] on make one option of the simulated device (the option and
// its value, when it takes one as the next word): 0 when args[i] is none of them. --help and
// --version count as none, so that a program with a simulated device inside keeps its own.
std::size_t SimOptionWords(const std::vector<std::string>& args, std::size_t i);
std::string SimUsage();

} // namespace tervane::sim
