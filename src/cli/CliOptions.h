#pragma once

#include <string>
#include <vector>

namespace tervane {

// What the command line of tervane-q7 asks for. Options may stand anywhere, before or after
// the subcommand; "--" ends them, so that an operand may begin with "--".
struct CliOptions {
    // The one port to use; with several --port, the first.
    std::string port;
    // Every --port in order; more than one runs the subcommand on each gateway.
    std::vector<std::string> ports;
    // Runs the subcommand on every gateway found.
    bool all = false;
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
    // apply: change nothing (--check), show old and new values (--diff), append an
    // inventory line per gateway to a CSV file (--record).
    bool check = false;
    bool diff = false;
    std::string recordPath;
    // devices: open each gateway for its IMEI and firmware.
    bool probe = false;
    // Not in the help: options for the built-in simulated device (--sim-option, repeatable),
    // as tervane-q7-sim takes them, so that tests can give it faults and delays.
    std::vector<std::string> simOptions;
    // Not in the help: the link's pauses (a settle, a restart's polling) pass this many
    // times faster (--speed-up N), so that scripts testing against simulated gateways do
    // not wait a real 20 s per apply. Waiting for the device's bytes stays real time.
    int speedUp = 1;
    // The subcommand's words and its operands, in order.
    std::vector<std::string> words;
    // Every option given, by its name ("--check", also for "--record=FILE"), in order: a
    // subcommand refuses those it does not take (SubcommandTakesOption).
    std::vector<std::string> given;
};

struct CliParse {
    CliOptions options;
    // Not empty when the command line is wrong.
    std::string error;
};

inline constexpr int kDefaultSendTimeoutMs = 5000;
inline constexpr int kMaxRetries = 10;
inline constexpr int kMaxSpeedUp = 1000;

// The arguments after the program's name.
CliParse ParseCliOptions(const std::vector<std::string>& args);

} // namespace tervane
