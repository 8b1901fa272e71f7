#include "SimOptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tervane::sim {
namespace {

struct OptionsCase {
    const char* name;
    std::vector<std::string> args;
    std::function<bool(const SimOptions&)> check;
};

class CommandLine : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(CommandLine, Parses)
{
    const SimOptions options = ParseSimOptions(GetParam().args);
    EXPECT_TRUE(GetParam().check(options)) << options.error;
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLine,
    ::testing::Values(
        OptionsCase{"nothing", {}, [](const SimOptions& o) { return o.error.empty() && o.linkPath.empty() && !o.help; }},
        OptionsCase{"help", {"--help"}, [](const SimOptions& o) { return o.help; }},
        OptionsCase{"version", {"--version"}, [](const SimOptions& o) { return o.version && !o.help; }},
        OptionsCase{"link_and_model", {"--link", "/tmp/x/ttyQ7", "--model=Q7R"},
                    [](const SimOptions& o) { return o.linkPath == "/tmp/x/ttyQ7" && o.config.model == "Q7R"; }},
        OptionsCase{"restart_delay", {"--restart-delay", "250"},
                    [](const SimOptions& o) { return o.config.restartDelayMs == 250; }},
        OptionsCase{"without_groups", {"--without", "telnet_server", "--without=mgmtconnection&index=3"},
                    [](const SimOptions& o) {
                        return o.config.omitted.count("telnet_server") && o.config.omitted.count("mgmtconnection&index=3");
                    }},
        OptionsCase{"faults", {"--fault", "no-sim", "--fault", "error-for=CGSN", "--fault=fragments=8:40", "--fault", "unsolicited"},
                    [](const SimOptions& o) {
                        return o.faults.noSim && o.faults.errorFor == std::vector<std::string>{"CGSN"}
                               && o.faults.fragmentBytes == 8 && o.faults.fragmentPauseMs == 40
                               && o.faults.unsolicited == "\r\n+CREG: 1\r\n";
                    }},
        OptionsCase{"unended_fault", {"--fault", "unended-for=CSQ"},
                    [](const SimOptions& o) { return o.faults.unendedFor == std::vector<std::string>{"CSQ"}; }},
        OptionsCase{"unended_fault_without_text", {"--fault", "unended-for"},
                    [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"no_radio_answer_wrapped", {"--no-radio-config", "--no-radio-answer", "wrapped"},
                    [](const SimOptions& o) { return !o.config.radioConfigured && o.config.wrapsNoRadioAnswer; }},
        OptionsCase{"no_radio_answer_bare", {"--no-radio-answer=bare"},
                    [](const SimOptions& o) { return o.error.empty() && !o.config.wrapsNoRadioAnswer; }},
        OptionsCase{"bad_no_radio_answer", {"--no-radio-answer", "xml"},
                    [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"silent_for", {"--fault", "silent-for=<query_setting>"},
                    [](const SimOptions& o) { return o.faults.silentFor == std::vector<std::string>{"<query_setting>"}; }},
        OptionsCase{"silent_for_without_text", {"--fault", "silent-for"}, [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"hostile_faults",
                    {"--fault", "file-reply-name=/WEB/python/.bashrc", "--fault", "short-file-data", "--fault",
                        "modem-escapes", "--fault", "broken-state"},
                    [](const SimOptions& o) {
                        return o.faults.fileReplyName == "/WEB/python/.bashrc" && o.faults.shortFileData
                               && o.faults.modemEscapes && o.faults.brokenState;
                    }},
        OptionsCase{"file_reply_name_without_path", {"--fault", "file-reply-name"},
                    [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"signal_pattern", {"--signal-pattern", "peak"},
                    [](const SimOptions& o) { return o.config.signalPattern == SignalPattern::NoisyPeak; }},
        OptionsCase{"bad_signal_pattern", {"--signal-pattern", "wobble"}, [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"bad_model", {"--model", "Q9"}, [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"missing_value", {"--link"}, [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"bad_number", {"--restart-delay", "soon"}, [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"unknown_fault", {"--fault", "gremlins"}, [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"flag_fault_with_value", {"--fault", "no-sim=1"}, [](const SimOptions& o) { return !o.error.empty(); }},
        OptionsCase{"unknown_option", {"--colour"}, [](const SimOptions& o) { return !o.error.empty(); }}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tervane::sim
