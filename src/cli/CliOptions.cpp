#include "CliOptions.h"

#include <cstdlib>
#include <optional>

namespace tervane {

namespace {

std::optional<long> WholeNumber(const std::string& text, long minimum, long maximum)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

} // namespace

CliParse ParseCliOptions(const std::vector<std::string>& args)
{
    CliParse parse;
    CliOptions& options = parse.options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && parse.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || (arg[0] != '-' && arg != "/debug")) {
            options.words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "/debug" as its own argument only: a path such as "dir/debug/x.py" is an operand.
        if (arg == "/debug") {
            options.logPath = "command.log";
            continue;
        }

        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        }
        options.given.push_back(name);
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            parse.error = name + " needs a value";
            return std::nullopt;
        };
        const auto flag = [&](bool& target) {
            if (inlineValue)
                parse.error = name + " takes no value";
            target = true;
        };

        if (name == "--help" || name == "-h") {
            flag(options.help);
        } else if (name == "--version") {
            flag(options.version);
        } else if (name == "--simulate") {
            flag(options.simulate);
        } else if (name == "--json") {
            flag(options.json);
        } else if (name == "--yes" || name == "-y") {
            flag(options.yes);
        } else if (name == "--port") {
            if (auto v = value()) {
                if (v->empty())
                    parse.error = "--port needs a path";
                if (options.ports.empty())
                    options.port = *v;
                options.ports.push_back(*v);
            }
        } else if (name == "--all") {
            flag(options.all);
        } else if (name == "--check") {
            flag(options.check);
        } else if (name == "--diff") {
            flag(options.diff);
        } else if (name == "--probe") {
            flag(options.probe);
        } else if (name == "--record") {
            if (auto v = value()) {
                if (v->empty())
                    parse.error = "--record needs a file name";
                options.recordPath = *v;
            }
        } else if (name == "--log") {
            if (auto v = value()) {
                if (v->empty())
                    parse.error = "--log needs a file name";
                options.logPath = *v;
            }
        } else if (name == "--timeout") {
            if (auto v = value()) {
                if (const auto ms = WholeNumber(*v, 0, 3600000))
                    options.timeoutMs = static_cast<int>(*ms);
                else
                    parse.error = "--timeout wants milliseconds between 0 and 3600000";
            }
        } else if (name == "--retries") {
            if (auto v = value()) {
                if (const auto n = WholeNumber(*v, 0, kMaxRetries))
                    options.retries = static_cast<int>(*n);
                else
                    parse.error = "--retries wants a number between 0 and " + std::to_string(kMaxRetries);
            }
        } else if (name == "--speed-up") {
            if (auto v = value()) {
                if (const auto n = WholeNumber(*v, 1, kMaxSpeedUp))
                    options.speedUp = static_cast<int>(*n);
                else
                    parse.error = "--speed-up wants a number between 1 and " + std::to_string(kMaxSpeedUp);
            }
        } else if (name == "--sim-option") {
            if (auto v = value())
                options.simOptions.push_back(*v);
        } else {
            parse.error = "unknown option '" + arg + "'";
        }
    }
    // A script that asked for JSON gets its failure as JSON too, wherever --json stood.
    if (!parse.error.empty()) {
        for (const auto& arg : args) {
            if (arg == "--")
                break;
            if (arg == "--json")
                options.json = true;
        }
    }
    if (parse.error.empty() && options.simulate && !options.port.empty())
        parse.error = "--simulate and --port exclude each other";
    if (parse.error.empty() && options.all && (options.simulate || !options.port.empty()))
        parse.error = "--all excludes --port and --simulate";
    return parse;
}

} // namespace tervane
