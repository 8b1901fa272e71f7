#include "CommandLine.h"

namespace tervane {

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!line.text.empty())
            line.text += ' ';
        line.text += arg;
        if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--simulate") {
            line.simulate = true;
        } else if (arg == "--port") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                line.error = "--port needs the path of a serial port";
                return line;
            }
            line.port = args[++i];
            line.text += ' ';
            line.text += line.port;
        } else if (arg.rfind("--", 0) == 0) {
            line.error = "unknown option '" + arg + "'";
            return line;
        }
    }
    if (line.simulate && !line.port.empty())
        line.error = "--simulate and --port exclude each other";
    return line;
}

bool WantsCommandLog(std::string_view commandLineText)
{
    return commandLineText.find("/debug") != std::string_view::npos;
}

std::string UsageText()
{
    return "Usage: tervane-q7-dashboard [OPTIONS]\n"
           "\n"
           "Opens the configuration window of the Skellin Q7 attached over USB.\n"
           "\n"
           "Options:\n"
           "  /debug          write every exchange with the device to command.log in the\n"
           "                  current folder (recognised anywhere on the command line)\n"
           "  --port PATH     use this serial port instead of looking for the device\n"
           "  --simulate      open the dashboard on the built-in simulated Q7\n"
           "  --help          show this text\n"
           "  --version       show the version\n";
}

} // namespace tervane
