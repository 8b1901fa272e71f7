#pragma once

#include <string>
#include <vector>

namespace tervane {

// What the command line of tervane-q7 asks for. Options may stand anywhere, before or after
// the subcommand; "--" ends them, so that an operand may begin with "--".
struct CliOptions {
    std::string port;
    bool simulate = false;
    std::string logPath;
    bool json = false;
    bool yes = false;
    bool help = false;
    bool version = false;
    // send: the receive time-out of each command.
    int timeoutMs = 5000;
    // Verified transfers: how many times a transfer whose digests differ is done again.
    int retries = 2;
    // Not in the help: options for the built-in simulated device (--sim-option, repeatable),
    // as tervane-q7-sim takes them, so that tests can give it faults and delays.
    std::vector<std::string> simOptions;
    // The subcommand's words and its operands, in order.
    std::vector<std::string> words;
};

struct CliParse {
    CliOptions options;
    // Not empty when the command line is wrong.
    std::string error;
};

inline constexpr int kDefaultSendTimeoutMs = 5000;
inline constexpr int kMaxRetries = 10;

// The arguments after the program's name.
CliParse ParseCliOptions(const std::vector<std::string>& args);

} // namespace tervane
