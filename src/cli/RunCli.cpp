#include "RunCli.h"

#include "CliOptions.h"
#include "CliSession.h"
#include "FleetRun.h"
#include "Subcommands.h"

#include <ostream>

namespace tervane {

bool IsFleetRun(const CliOptions& options, std::string_view subcommand)
{
    return (options.all || options.ports.size() > 1) && subcommand != "devices";
}

int RunCli(const std::vector<std::string>& args, const CliEnvironment& environment)
{
    CliParse parse = ParseCliOptions(args);
    CliSession session(parse.options, environment);
    std::ostream& out = *session.Environment().out;

    if (!parse.error.empty())
        return session.Finish(session.UsageFailure(parse.error), {});
    const CliOptions& options = session.Options();
    if (options.version) {
        out << "tervane-q7 " << TERVANE_VERSION << "\n";
        return kExitDone;
    }

    const std::vector<std::string>& words = options.words;
    std::size_t nameWords = 0;
    const Subcommand* subcommand = FindSubcommand(words, nameWords);
    if (!subcommand) {
        if (options.help) {
            out << (words.size() == 1 && IsSubcommandGroup(words[0]) ? GroupHelp(words[0]) : GeneralHelp());
            return kExitDone;
        }
        if (words.empty())
            return session.Finish(session.UsageFailure("no subcommand given"), {});
        if (IsSubcommandGroup(words[0])) {
            const std::string message = words.size() == 1 ? words[0] + " needs a subcommand"
                                                          : "unknown subcommand '" + words[0] + " " + words[1] + "'";
            return session.Finish(session.UsageFailure(message, words[0]), {});
        }
        return session.Finish(session.UsageFailure("unknown subcommand '" + words[0] + "'"), {});
    }

    const std::string name = subcommand->FullName();
    if (options.help) {
        out << SubcommandHelp(*subcommand);
        return kExitDone;
    }
    for (const auto& option : options.given) {
        if (!SubcommandTakesOption(*subcommand, option))
            return session.Finish(session.UsageFailure(name + " does not take " + option, name), name);
    }
    const std::vector<std::string> operands(words.begin() + static_cast<std::ptrdiff_t>(nameWords), words.end());
    const int count = static_cast<int>(operands.size());
    if (count < subcommand->minOperands) {
        const std::string wanted = subcommand->operands.empty() ? std::string("operands") : std::string(subcommand->operands);
        return session.Finish(session.UsageFailure(name + " needs " + wanted, name), name);
    }
    if (subcommand->maxOperands >= 0 && count > subcommand->maxOperands) {
        return session.Finish(session.UsageFailure(name + " takes "
                + (subcommand->operands.empty() ? std::string("no operands") : std::string(subcommand->operands))
                + ", not '" + operands[static_cast<std::size_t>(subcommand->maxOperands)] + "'", name),
            name);
    }
    if (IsFleetRun(options, name))
        return session.Finish(RunFleet(*subcommand, session, operands), name);
    return session.Finish(subcommand->run(session, operands), name);
}

} // namespace tervane
