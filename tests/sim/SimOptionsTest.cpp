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

namespace tervane::sim {
namespace {

struct WordsCase {
    const char* name;
    std::vector<std::string> args;
    std::size_t words;
};

class OptionWords : public ::testing::TestWithParam<WordsCase> {};

// A program with the simulated device inside picks its options out of its own command line:
// the words it takes must be what ParseSimOptions reads as one option.
TEST_P(OptionWords, TakesWhatTheParserReads)
{
    const WordsCase& row = GetParam();
    EXPECT_EQ(SimOptionWords(row.args, 0), row.words);
    if (row.words > 0) {
        const std::vector<std::string> taken(row.args.begin(), row.args.begin() + static_cast<long>(row.words));
        EXPECT_EQ(ParseSimOptions(taken).error, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, OptionWords,
    ::testing::Values(WordsCase {"value_word", {"--count", "2", "--model"}, 2},
        WordsCase {"inline_value", {"--model=Q7R", "x"}, 1}, WordsCase {"flag", {"--no-radio-config", "2"}, 1},
        WordsCase {"fault", {"--fault", "no-sim"}, 2}, WordsCase {"every_valued_one", {"--signal-pattern", "sweep"}, 2},
        WordsCase {"without", {"--without", "telnet_server"}, 2}, WordsCase {"link", {"--link", "/tmp/q"}, 2},
        WordsCase {"delays", {"--restart-delay=10"}, 1}, WordsCase {"answer_delay", {"--answer-delay", "3"}, 2},
        WordsCase {"signal", {"--signal", "9"}, 2}, WordsCase {"no_radio_answer", {"--no-radio-answer", "bare"}, 2},
        WordsCase {"help_stays_the_programs", {"--help"}, 0}, WordsCase {"version_too", {"--version"}, 0},
        WordsCase {"other_program_option", {"--port", "/dev/ttyACM0"}, 0}, WordsCase {"single_dash", {"-count", "2"}, 0},
        WordsCase {"words_without_dash", {"/debug"}, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(OptionWords, ValueMissingAtTheEndIsTheParsersToReport)
{
    const std::vector<std::string> args {"--model"};
    EXPECT_EQ(SimOptionWords(args, 0), 1u);
    EXPECT_EQ(ParseSimOptions(args).error, "--model needs a value");
}

} // namespace
} // namespace tervane::sim
