#pragma once

#include <string>
#include <vector>

namespace tervane {

class CliSession;
struct Subcommand;

// Whether the subcommand may run on several gateways at once: apply, and those that only
// read or that write one file per gateway.
bool RunsOnEveryGateway(const Subcommand& subcommand);

// Runs the subcommand on every gateway at once (the --port list, or every one attached
// with --all), each on its own thread with its own session, link and command log. Their
// output lines carry the port in front; with --json the session's document gets one
// member "devices", an array of their documents. One gateway's failure leaves the others
// alone. Returns the worst exit status.
int RunFleet(const Subcommand& subcommand, CliSession& session, const std::vector<std::string>& operands);

// The command log of one gateway: "q7.log" becomes "q7-ttyACM0.log".
std::string GatewayLogPath(const std::string& logPath, const std::string& port);

} // namespace tervane
