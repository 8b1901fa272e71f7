#include "SimOptions.h"

#include <cctype>
#include <optional>

namespace tervane::sim {

namespace {

std::optional<int> Milliseconds(const std::string& text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    return std::stoi(text);
}

// One --fault word, with its value after "=" when it takes one. Empty when it was understood.
std::string ApplyFault(const std::string& word, Faults& faults)
{
    const auto equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const std::string value = hasValue ? word.substr(equals + 1) : std::string();
    auto flag = [&](bool& target) {
        if (hasValue)
            return "fault " + name + " takes no value";
        target = true;
        return std::string();
    };

    if (name == "no-radio")
        return flag(faults.noRadio);
    if (name == "no-sim")
        return flag(faults.noSim);
    if (name == "cnum-error")
        return flag(faults.cnumError);
    if (name == "silent")
        return flag(faults.silent);
    if (name == "print-spans")
        return flag(faults.printSpans);
    if (name == "upper-digests")
        return flag(faults.upperCaseDigests);
    if (name == "wrong-digests")
        return flag(faults.wrongDigests);
    if (name == "corrupt-uploads")
        return flag(faults.corruptUploads);
    if (name == "hang-up")
        return flag(faults.hangUpMidAnswer);
    if (name == "short-file-data")
        return flag(faults.shortFileData);
    if (name == "modem-escapes")
        return flag(faults.modemEscapes);
    if (name == "broken-state")
        return flag(faults.brokenState);
    if (name == "file-reply-name") {
        if (value.empty())
            return "fault file-reply-name needs the path to name";
        faults.fileReplyName = value;
        return {};
    }
    if (name == "error-for") {
        if (value.empty())
            return "fault error-for needs the text of the command";
        faults.errorFor.push_back(value);
        return {};
    }
    if (name == "unended-for") {
        if (value.empty())
            return "fault unended-for needs the text of the command";
        faults.unendedFor.push_back(value);
        return {};
    }
    if (name == "silent-for") {
        if (value.empty())
            return "fault silent-for needs the text of the command";
        faults.silentFor.push_back(value);
        return {};
    }
    if (name == "unsolicited") {
        faults.unsolicited = hasValue ? value : "\r\n+CREG: 1\r\n";
        return {};
    }
    if (name == "slow-restart") {
        const auto ms = Milliseconds(value);
        if (!ms)
            return "fault slow-restart needs milliseconds";
        faults.slowRestartMs = *ms;
        return {};
    }
    if (name == "fragments") {
        // BYTES or BYTES:PAUSE
        const auto colon = value.find(':');
        const auto bytes = Milliseconds(value.substr(0, colon));
        const auto pause = colon == std::string::npos ? std::optional<int>(20) : Milliseconds(value.substr(colon + 1));
        if (!bytes || *bytes == 0 || !pause)
            return "fault fragments needs BYTES or BYTES:PAUSE_MS";
        faults.fragmentBytes = static_cast<std::size_t>(*bytes);
        faults.fragmentPauseMs = *pause;
        return {};
    }
    return "unknown fault: " + name;
}

} // namespace

SimOptions ParseSimOptions(const std::vector<std::string>& args)
{
    SimOptions options;
    for (std::size_t i = 0; i < args.size() && options.error.empty(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inlineValue;
        if (option.rfind("--", 0) == 0 && option.find('=') != std::string::npos) {
            inlineValue = option.substr(option.find('=') + 1);
            option = option.substr(0, option.find('='));
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            options.error = option + " needs a value";
            return std::nullopt;
        };

        if (option == "-h" || option == "--help") {
            options.help = true;
        } else if (option == "--version") {
            options.version = true;
        } else if (option == "--link") {
            if (auto v = value())
                options.linkPath = *v;
        } else if (option == "--model") {
            if (auto v = value()) {
                if (*v == "Q7" || *v == "Q7R")
                    options.config.model = *v;
                else
                    options.error = "--model takes Q7 or Q7R";
            }
        } else if (option == "--restart-delay" || option == "--answer-delay" || option == "--signal") {
            if (auto v = value()) {
                const auto number = Milliseconds(*v);
                if (!number)
                    options.error = option + " needs a number";
                else if (option == "--restart-delay")
                    options.config.restartDelayMs = *number;
                else if (option == "--answer-delay")
                    options.config.answerDelayMs = *number;
                else if (*number > 31 && *number != 99)
                    options.error = "--signal takes 0 to 31, or 99";
                else
                    options.config.signalQuality = *number;
            }
        } else if (option == "--signal-pattern") {
            if (auto v = value()) {
                if (*v == "steady")
                    options.config.signalPattern = SignalPattern::Steady;
                else if (*v == "sweep")
                    options.config.signalPattern = SignalPattern::Sweep;
                else if (*v == "peak")
                    options.config.signalPattern = SignalPattern::NoisyPeak;
                else if (*v == "dropouts")
                    options.config.signalPattern = SignalPattern::Dropouts;
                else
                    options.error = "--signal-pattern takes steady, sweep, peak or dropouts";
            }
        } else if (option == "--count") {
            if (auto v = value()) {
                const auto number = Milliseconds(*v);
                if (!number || *number < 1 || *number > kMaxSimCount)
                    options.error = "--count takes 1 to " + std::to_string(kMaxSimCount);
                else
                    options.count = *number;
            }
        } else if (option == "--no-radio-config") {
            options.config.radioConfigured = false;
        } else if (option == "--no-radio-answer") {
            if (auto v = value()) {
                if (*v == "bare" || *v == "wrapped")
                    options.config.wrapsNoRadioAnswer = *v == "wrapped";
                else
                    options.error = "--no-radio-answer takes bare or wrapped";
            }
        } else if (option == "--without") {
            if (auto v = value())
                options.config.omitted.insert(*v);
        } else if (option == "--fault") {
            if (auto v = value())
                options.error = ApplyFault(*v, options.faults);
        } else {
            options.error = "unknown option: " + args[i];
        }
    }
    return options;
}

std::string SimUsage()
{
    return "Usage: tervane-q7-sim [options]\n"
           "Runs a simulated Skellin Q7 on a pseudo-terminal and prints the port path.\n"
           "Stops on SIGINT or SIGTERM.\n"
           "\n"
           "  --link PATH            publish the port at PATH (default: a new temporary folder/ttyQ7);\n"
           "                         with --count, at PATH-1, PATH-2, ...\n"
           "  --count N              publish N independent gateways with their own IMEI, ICCID\n"
           "                         and IMSI, one port path per line (default 1, at most 64)\n"
           "  --model Q7|Q7R         the device model (default Q7)\n"
           "  --restart-delay MS     how long the port is away on a restart (default 1500)\n"
           "  --answer-delay MS      pause before each answer (default 5)\n"
           "  --signal N             signal quality for AT+CSQ, 0-31 or 99 (default 20)\n"
           "  --signal-pattern P     how AT+CSQ moves, one step a question: steady (default),\n"
           "                         sweep (0-31-0), peak (a noisy peak every 60), dropouts\n"
           "                         (--signal, with 99 on 2 of every 10)\n"
           "  --no-radio-config      the device has no configured Ravlo radio\n"
           "  --no-radio-answer bare|wrapped\n"
           "                         the no-radio answer alone (default) or inside an rci_reply\n"
           "  --without PATH         leave a setting group or setting out, e.g. telnet_server,\n"
           "                         mgmtconnection&index=3, mobile_simple/pin (repeatable)\n"
           "  --fault NAME[=VALUE]   switch a fault on (repeatable):\n"
           "      no-radio             zigbee requests answer \"Currently not configured or supported\"\n"
           "      no-sim               AT+CIMI and AT+CNUM answer ERROR, no ICCID, no mobile IP\n"
           "      cnum-error           AT+CNUM answers ERROR\n"
           "      silent               nothing is answered\n"
           "      error-for=TEXT       commands containing TEXT answer ERROR\n"
           "      unended-for=TEXT     commands containing TEXT are answered without OK or ERROR\n"
           "      silent-for=TEXT      commands containing TEXT are not answered\n"
           "      fragments=BYTES[:MS] answers come in pieces with pauses (default pause 20)\n"
           "      print-spans          <pyPrint> and <usb> spans mixed into answers\n"
           "      unsolicited[=TEXT]   an unsolicited line after each echo (default +CREG: 1)\n"
           "      upper-digests        digests in upper-case hexadecimal\n"
           "      wrong-digests        digests of other bytes\n"
           "      corrupt-uploads      uploaded files are stored with one byte changed\n"
           "      hang-up              the first answer stops halfway and the port restarts\n"
           "      slow-restart=MS      every restart takes MS longer\n"
           "      file-reply-name=PATH file replies name PATH instead of the file asked for\n"
           "      short-file-data      file replies carry half of the file's Base64 text\n"
           "      modem-escapes        modem identity answers end in terminal escapes\n"
           "      broken-state         the state answer stops halfway\n"
           "  --version              show the version and stop\n"
           "  -h, --help             show this text\n";
}

} // namespace tervane::sim
