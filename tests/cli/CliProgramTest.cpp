// The built program itself, with its built-in simulated device: what a script sees.

#include "CliTestSupport.h"
#include "TestSupport.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tervane::test {
namespace {

std::string Quoted(const std::string& arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class CliProgramTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    // Runs tervane-q7 with standard input from /dev/null and its output in files.
    CliRun Program(const std::vector<std::string>& args)
    {
        std::string command = Quoted(TERVANE_Q7_PROGRAM);
        for (const auto& arg : args)
            command += " " + Quoted(arg);
        command += " </dev/null >" + Quoted(dir + "/out") + " 2>" + Quoted(dir + "/err");
        const int raw = std::system(command.c_str());
        CliRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadWholeFile(dir + "/out");
        run.err = ReadWholeFile(dir + "/err");
        return run;
    }

    std::string dir = MakeScratchDir("tervane-cli-program");
};

TEST_F(CliProgramTest, Version)
{
    const CliRun run = Program({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, std::string("tervane-q7 ") + TERVANE_VERSION_TEXT + "\n");
}

TEST_F(CliProgramTest, InfoFromTheBuiltInDevice)
{
    const CliRun run = Program({"--simulate", "--json", "info"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "no progress bar when standard error is no terminal";
    const QJsonObject info = ParseJson(run.out);
    EXPECT_EQ(info["imei"].toString(), "356938035643809");
    EXPECT_EQ(info["firmwareVersion"].toString(), "2.4.1.7");
}

TEST_F(CliProgramTest, FirmwareAcrossTheBuiltInDevicesRestart)
{
    std::string image(4000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7);
    ASSERT_TRUE(WriteWholeFile(dir + "/image.bin", image));
    const CliRun run = Program({"--simulate", "--sim-option=--restart-delay=300", "--json", "firmware", dir + "/image.bin"});
    ASSERT_EQ(run.status, 0) << run.err;
    const QJsonObject result = ParseJson(run.out);
    EXPECT_TRUE(result["installed"].toBool());
    EXPECT_EQ(result["firmwareVersion"].toString(), "2.5.0.3");
}

struct ProgramStatus {
    const char* name;
    std::vector<std::string> args;
    int status;
};

// Test names say which row it is; the bytes of the row say nothing.
void PrintTo(const ProgramStatus& row, std::ostream* out)
{
    *out << row.name;
}

class CliProgramStatusTest : public CliProgramTest, public ::testing::WithParamInterface<ProgramStatus> {};

TEST_P(CliProgramStatusTest, ExitStatus)
{
    const CliRun run = Program(GetParam().args);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_EQ(run.err.rfind("tervane-q7: ", 0), 0u) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Classes, CliProgramStatusTest,
    ::testing::Values(ProgramStatus{"usage", {"--simulate", "python", "get"}, 2},
        ProgramStatus{"factoryResetWithoutTerminal", {"--simulate", "factory-reset"}, 2},
        ProgramStatus{"noDevice", {"--port", "/nonexistent/ttyACM0", "info"}, 3},
        ProgramStatus{"refused", {"--simulate", "--sim-option=--fault=error-for=at+CFUN", "reboot"}, 1}),
    [](const ::testing::TestParamInfo<ProgramStatus>& row) { return std::string(row.param.name); });

} // namespace
} // namespace tervane::test
