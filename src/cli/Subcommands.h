#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

class CliSession;

using SubcommandHandler = int (*)(CliSession& session, const std::vector<std::string>& operands);

// One subcommand of tervane-q7: its words ("python", "get"), what it takes, its help and
// the function that runs it.
struct Subcommand {
    std::string_view group;     // "settings", "python", or empty for a one-word subcommand
    std::string_view name;
    std::string_view operands;  // as the usage line shows them: "NAME [DEST]"
    int minOperands = 0;
    int maxOperands = 0;        // -1: any number
    std::string_view summary;   // one line for the list
    std::string_view details;   // the subcommand's own help
    SubcommandHandler run = nullptr;
    // The members of its --json document besides the ones every document has, blank-separated
    // in their order. Every one of them is in the document, null when it is not known.
    std::string_view json;

    // "python get"
    std::string FullName() const;
    // `json` as a list.
    std::vector<std::string> JsonMembers() const;
};

std::span<const Subcommand> Subcommands();

// The members every --json document has, in their order: "command" and "port" are null when
// the command line names no subcommand or no device was opened; "candidates" lists the ports
// when several devices were found, else it is null; "errors" is last.
inline constexpr std::string_view kCommonJsonMembers[] = {"command", "ok", "exitStatus", "port", "candidates"};
// What a run on several gateways has instead of the subcommand's members: one document per
// gateway, and the ports of those that did not finish well.
inline constexpr std::string_view kFleetJsonMembers[] = {"devices", "notDone"};

// The subcommand the words begin with, and how many words its name took; none when the
// words name no subcommand.
const Subcommand* FindSubcommand(const std::vector<std::string>& words, std::size_t& nameWords);
// Whether the word begins a group of subcommands ("settings", "python").
bool IsSubcommandGroup(std::string_view word);

// The options only some subcommands take, and which: every other option is taken by every
// subcommand. The bash completion offers each after the same subcommands.
struct SubcommandOption {
    std::string_view option;       // "--check"
    std::string_view subcommands;  // blank-separated full names: "apply"
};
std::span<const SubcommandOption> SubcommandOptions();
// Whether the subcommand takes the option (by its name, "--check").
bool SubcommandTakesOption(const Subcommand& subcommand, std::string_view option);

// The general help, the help of one group, and the help of one subcommand.
std::string GeneralHelp();
std::string GroupHelp(std::string_view group);
std::string SubcommandHelp(const Subcommand& subcommand);

} // namespace tervane
