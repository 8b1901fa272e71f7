#include "CliOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tervane {
namespace {

using Words = std::vector<std::string>;

TEST(CliOptionsTest, OptionsStandAnywhereAndDoubleDashEndsThem)
{
    const CliParse parse = ParseCliOptions(
        {"python", "--port", "/dev/ttyACM0", "get", "--json", "main.py", "--", "--odd-name", "/debug"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.port, "/dev/ttyACM0");
    EXPECT_TRUE(parse.options.json);
    EXPECT_EQ(parse.options.logPath, "");
    EXPECT_EQ(parse.options.words, (Words{"python", "get", "main.py", "--odd-name", "/debug"}));
}

TEST(CliOptionsTest, DebugSwitchIsAWordOfItsOwn)
{
    // A path that merely contains "/debug" is an operand, not the switch.
    const CliParse parse = ParseCliOptions({"python", "put", "/home/me/debug/x.py", "/debug"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.logPath, "command.log");
    EXPECT_EQ(parse.options.words, (Words{"python", "put", "/home/me/debug/x.py"}));
}

TEST(CliOptionsTest, ValuesInlineOrSeparate)
{
    const CliParse parse = ParseCliOptions(
        {"--log=x.log", "--retries", "0", "--timeout=250", "-y", "--sim-option=--fault=error-for=AT+CSQ", "--speed-up", "100",
            "send", "-"});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.logPath, "x.log");
    EXPECT_EQ(parse.options.retries, 0);
    EXPECT_EQ(parse.options.timeoutMs, 250);
    EXPECT_TRUE(parse.options.yes);
    EXPECT_EQ(parse.options.simOptions, (Words{"--fault=error-for=AT+CSQ"}));
    EXPECT_EQ(parse.options.speedUp, 100);
    EXPECT_EQ(parse.options.words, (Words{"send", "-"}));
}

struct BadLine {
    const char* name;
    Words args;
    const char* error;
};

// Test names say which row it is; the bytes of the row say nothing.
void PrintTo(const BadLine& row, std::ostream* out)
{
    *out << row.name;
}

class CliOptionsErrorTest : public ::testing::TestWithParam<BadLine> {};

TEST_P(CliOptionsErrorTest, Refused)
{
    EXPECT_EQ(ParseCliOptions(GetParam().args).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Lines, CliOptionsErrorTest,
    ::testing::Values(
        BadLine{"unknownOption", {"info", "--colour"}, "unknown option '--colour'"},
        BadLine{"missingValue", {"info", "--port"}, "--port needs a value"},
        BadLine{"emptyPort", {"--port=", "info"}, "--port needs a path"},
        BadLine{"flagWithValue", {"--json=yes", "info"}, "--json takes no value"},
        BadLine{"simulateAndPort", {"--simulate", "--port", "/dev/ttyACM0", "info"},
            "--simulate and --port exclude each other"},
        BadLine{"retriesTooMany", {"--retries", "11", "firmware", "x"}, "--retries wants a number between 0 and 10"},
        BadLine{"retriesNegative", {"--retries=-1", "firmware", "x"}, "--retries wants a number between 0 and 10"},
        BadLine{"speedUpZero", {"--speed-up=0", "apply", "p.yaml"}, "--speed-up wants a number between 1 and 1000"},
        BadLine{"timeoutNotNumber", {"--timeout", "5s", "send", "AT"},
            "--timeout wants milliseconds between 0 and 3600000"}),
    [](const ::testing::TestParamInfo<BadLine>& row) { return std::string(row.param.name); });

} // namespace
} // namespace tervane
