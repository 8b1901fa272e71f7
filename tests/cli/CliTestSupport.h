#pragma once

#include <QJsonObject>

#include <string>
#include <vector>

namespace tervane {
class Clock;
}

namespace tervane::test {

// What one run of the tool left behind.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// How the run sees its surroundings.
struct CliSetting {
    Clock* clock = nullptr;
    std::string input;             // standard input
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
    bool outputIsTerminal = false;
    std::string sysRoot = "/nonexistent-sys";
    std::string devDir = "/nonexistent-dev";
};

// Runs the tool in-process.
CliRun RunTool(const std::vector<std::string>& args, const CliSetting& setting);

// Parses the --json document on standard output; a parse failure fails the test.
QJsonObject ParseJson(const std::string& out);

// The lines of a text without their line ends.
std::vector<std::string> Lines(const std::string& text);

} // namespace tervane::test
