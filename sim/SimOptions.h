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
std::string SimUsage();

} // namespace tervane::sim
