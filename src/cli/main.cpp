// tervane-q7: talks to a Skellin Q7 from the command line, through the same link and
// batch runner as the dashboard.

#include "BatchWorker.h"
#include "CommandLog.h"
#include "CommandText.h"
#include "DetectDevice.h"
#include "SerialLink.h"
#include "SimulatedQ7.h"
#include "SysfsModemRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

enum ExitStatus { kDone = 0, kRefused = 1, kUsage = 2, kNoDevice = 3 };

constexpr const char* kUsageText =
    "Usage: tervane-q7 [OPTIONS] send COMMAND...\n"
    "\n"
    "Sends each COMMAND to a Skellin Q7 in turn and prints its cleaned answer.\n"
    "Commands are sent byte for byte: end AT commands with \\r\\n. The escapes \\r, \\n,\n"
    "\\t, \\\\, \\\" and \\xHH stand for their bytes. A command starting with SLEEP sends\n"
    "nothing and waits for the time-out.\n"
    "\n"
    "Options:\n"
    "  --port PATH     use this serial port instead of finding the device\n"
    "  --simulate      talk to the built-in simulated Q7\n"
    "  --timeout MS    receive time-out of each command (default 5000)\n"
    "  /debug          write every exchange to command.log in the current folder\n"
    "  --log FILE      write every exchange to FILE\n"
    "  --help          show this text\n"
    "  --version       show the version\n"
    "\n"
    "Example: tervane-q7 --simulate send 'AT+CGMI\\r\\n' 'AT+CSQ\\r\\n'\n"
    "\n"
    "Exit status: 0 every command answered, 1 a command failed, 2 usage error, 3 no device.\n";

struct Options {
    std::string port;
    bool simulate = false;
    int timeoutMs = 5000;
    std::string logPath;
    std::vector<std::string> commands;
};

int UsageError(const std::string& message)
{
    std::cerr << "tervane-q7: " << message << "\n" << "Try 'tervane-q7 --help'.\n";
    return kUsage;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string subcommand;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!subcommand.empty()) {
            options.commands.push_back(arg);
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsageText;
            return kDone;
        } else if (arg == "--version") {
            std::cout << "tervane-q7 " << TERVANE_VERSION << "\n";
            return kDone;
        } else if (arg == "--port" || arg == "--timeout" || arg == "--log") {
            if (i + 1 >= argc)
                return UsageError(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--port") {
                options.port = value;
            } else if (arg == "--log") {
                options.logPath = value;
            } else {
                char* end = nullptr;
                const long ms = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0' || ms < 0 || ms > 3600000)
                    return UsageError("--timeout wants milliseconds between 0 and 3600000");
                options.timeoutMs = static_cast<int>(ms);
            }
        } else if (arg == "--simulate") {
            options.simulate = true;
        } else if (arg.find("/debug") != std::string::npos) {
            options.logPath = "command.log";
        } else if (arg == "send") {
            subcommand = arg;
        } else {
            return UsageError("unknown argument '" + arg + "'");
        }
    }
    if (subcommand.empty())
        return UsageError("no command given");
    if (options.commands.empty())
        return UsageError("send needs at least one command");
    if (options.simulate && !options.port.empty())
        return UsageError("--simulate and --port exclude each other");

    tervane::CommandBatch batch;
    for (const auto& typed : options.commands) {
        const auto bytes = tervane::UnescapeCommand(typed);
        if (!bytes)
            return UsageError("malformed escape in '" + typed + "'");
        if (bytes->empty())
            return UsageError("an empty command would end the batch");
        tervane::USBCommand record;
        record.command = *bytes;
        record.timeout = options.timeoutMs;
        batch.AddTail(record);
    }

    tervane::CommandLog log;
    if (!options.logPath.empty() && !log.Open(options.logPath))
        std::cerr << "tervane-q7: cannot open the command log " << options.logPath << "; going on without it\n";

    std::unique_ptr<tervane::sim::SimulatedQ7> simulated;
    if (options.simulate) {
        simulated = std::make_unique<tervane::sim::SimulatedQ7>();
        if (!simulated->Start()) {
            std::cerr << "tervane-q7: the simulated device could not start\n";
            return kNoDevice;
        }
        options.port = simulated->PortPath();
    }

    tervane::SerialLink link;
    link.SetLog(log.IsOpen() ? &log : nullptr);
    if (!options.port.empty()) {
        link.SetPortName(options.port);
        if (!link.OpenPortNoDrain()) {
            std::cerr << "tervane-q7: cannot open " << options.port
                      << ": not a serial port, missing, or held by another program\n";
            return kNoDevice;
        }
    } else {
        tervane::SysfsModemRegistry registry;
        bool several = false;
        const auto refuseToGuess = [&several](const std::vector<std::string>& candidates) {
            several = true;
            std::cerr << "tervane-q7: several Skellin Q7 found; choose one with --port:\n";
            for (const auto& name : candidates)
                std::cerr << "  " << name << "\n";
            return std::string();
        };
        if (!tervane::DetectDevice(registry, link, refuseToGuess)) {
            if (!several)
                std::cerr << "tervane-q7: no Skellin Q7 found; connect it with its USB cable or name its port "
                             "with --port\n";
            return kNoDevice;
        }
    }

    tervane::RunBatch(link, batch, nullptr);

    int status = kDone;
    for (const auto& record : batch) {
        std::cout << (record.failed ? "[failed] " : "[ok] ") << tervane::EscapeForDisplay(record.command) << "\n";
        if (!record.response.empty())
            std::cout << record.response << "\n";
        if (record.failed)
            status = kRefused;
    }
    return status;
}
