// Exit statuses, the --json envelope of failures, finding the device, send, the log and
// the help texts.

#include "CliSimFixture.h"
#include "SerialLink.h"
#include "SerialPort.h"
#include "Subcommands.h"

#include <QJsonArray>
#include <QJsonObject>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace tervane::test {
namespace {

namespace fs = std::filesystem;

struct StatusCase {
    const char* name;
    std::vector<std::string> args;
    bool atDevice;             // --port at the simulated device
    std::string errorFor;      // the device answers ERROR to commands holding this
    int status;
    const char* error;         // the first line on standard error
};

// Test names say which row it is; the bytes of the row say nothing.
void PrintTo(const StatusCase& row, std::ostream* out)
{
    *out << row.name;
}

class CliExitStatusTest : public CliSimTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(CliExitStatusTest, OneLineNamesTheFailure)
{
    const StatusCase& c = GetParam();
    if (!c.errorFor.empty())
        device.ChangeFaults([&](sim::Faults& faults) { faults.errorFor.push_back(c.errorFor); });
    std::vector<std::string> args = c.args;
    args.push_back("--json");
    const CliRun run = c.atDevice ? Run(args) : RunTool(args, CliSetting {});
    EXPECT_EQ(run.status, c.status) << run.err;
    const auto lines = Lines(run.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), c.error);
    if (c.status == 2)
        EXPECT_EQ(lines.size(), 2u) << "a usage error adds where to read more";
    else
        EXPECT_EQ(lines.size(), 1u) << run.err;

    const QJsonObject result = ParseJson(run.out);
    EXPECT_FALSE(result["ok"].toBool(true));
    EXPECT_EQ(result["exitStatus"].toInt(), c.status);
    ASSERT_FALSE(result["errors"].toArray().isEmpty());
    EXPECT_EQ("tervane-q7: " + result["errors"].toArray().first().toString().toStdString(), c.error);
}

INSTANTIATE_TEST_SUITE_P(Classes, CliExitStatusTest,
    ::testing::Values(
        StatusCase{"usageNoSubcommand", {}, false, "", 2, "tervane-q7: no subcommand given"},
        StatusCase{"usageUnknownSubcommand", {"flash"}, false, "", 2, "tervane-q7: unknown subcommand 'flash'"},
        StatusCase{"usageUnknownOption", {"info", "--verbose"}, false, "", 2, "tervane-q7: unknown option '--verbose'"},
        StatusCase{"usageMissingOperand", {"firmware"}, false, "", 2, "tervane-q7: firmware needs FILE"},
        StatusCase{"usageExtraOperand", {"reboot", "now"}, false, "", 2,
            "tervane-q7: reboot takes no operands, not 'now'"},
        StatusCase{"usageBadEscape", {"send", "AT\\q"}, false, "", 2, "tervane-q7: malformed escape in 'AT\\q'"},
        StatusCase{"noDevicePortMissing", {"--port", "/nonexistent/ttyACM0", "info"}, false, "", 3,
            "tervane-q7: cannot open /nonexistent/ttyACM0: no such port; is the gateway plugged in?"},
        StatusCase{"noDeviceNotAPort", {"--port", "/dev/null", "reboot"}, false, "", 3,
            "tervane-q7: cannot open /dev/null: not a serial port"},
        StatusCase{"noDeviceFound", {"python", "ls"}, false, "", 3,
            "tervane-q7: no Skellin Q7 found; connect it with its USB cable or name its port with --port"},
        StatusCase{"refusedReboot", {"reboot"}, true, "at+CFUN=1", 1,
            "tervane-q7: the device did not take the reboot command"},
        StatusCase{"refusedFactoryReset", {"factory-reset", "--yes"}, true, "set_factory_default", 1,
            "tervane-q7: the device refused to restore its factory defaults: an error answer or none"},
        StatusCase{"refusedListing", {"python", "ls"}, true, "ls dir=", 1,
            "tervane-q7: the device did not list its Python files"},
        StatusCase{"refusedStateQuery", {"info"}, true, "<query_state/>", 1,
            "tervane-q7: the device answered the state query with nothing"},
        StatusCase{"refusedSend", {"send", "AT+CSQ\\r\\n"}, true, "AT+CSQ", 1,
            "tervane-q7: the command AT+CSQ\\r\\n failed"}),
    [](const ::testing::TestParamInfo<StatusCase>& row) { return std::string(row.param.name); });

TEST_F(CliSimTest, ASilentDeviceIsNoDevice)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.silent = true; });
    const CliRun run = Run({"info"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "tervane-q7: the device on " + device.PortPath() + " does not answer\n");

    const CliRun sent = Run({"--timeout", "300", "--json", "send", "AT+CGMI\\r\\n"});
    EXPECT_EQ(sent.status, 3);
    EXPECT_EQ(sent.err, "tervane-q7: the device on " + device.PortPath() + " does not answer\n");
    const QJsonObject row = ParseJson(sent.out)["commands"].toArray().first().toObject();
    EXPECT_TRUE(row["failed"].toBool());
    EXPECT_FALSE(row["answered"].toBool(true));
}

// A port another program holds is named as such, with the holder when its lock file says.
TEST_F(CliSimTest, PortHeldByAnotherProgramSaysSo)
{
    SerialLink holder;
    holder.SetPortName(device.PortPath());
    ASSERT_TRUE(holder.OpenPortNoDrain());
    const CliRun held = Run({"info"});
    EXPECT_EQ(held.status, 3);
    EXPECT_EQ(held.err, "tervane-q7: cannot open " + device.PortPath() + ": in use by another program\n");
    holder.ClosePort();

    const std::string name = fs::canonical(device.PortPath()).filename().string();
    ASSERT_TRUE(WriteWholeFile(dir + "/LCK.." + name, "  " + std::to_string(::getpid()) + "\n"));
    SetUucpLockDir(dir);
    const std::string log = dir + "/exchanges.log";
    const CliRun locked = Run({"--log", log, "info"});
    SetUucpLockDir("/var/lock");
    EXPECT_EQ(locked.status, 3);
    const std::string reason = "cannot open " + device.PortPath() + ": in use by another program (process "
        + std::to_string(::getpid()) + " holds its lock file)";
    EXPECT_EQ(locked.err, "tervane-q7: " + reason + "\n");
    EXPECT_NE(ReadWholeFile(log).find("NOTE:\r\n" + std::string(79, '*') + "\r\n" + reason + "\r\n"), std::string::npos);
}

// Each command that gets no final result code within its time-out fails the run; the ones
// that were answered still show.
TEST_F(CliSimTest, SendOfACommandLeftWithoutResultCodeFails)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.unendedFor = {"CGMI"}; });
    const CliRun run = Run({"--timeout", "300", "send", "AT+CGMI\\r\\n", "AT+CSQ\\r\\n"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "[failed] AT+CGMI\\r\\n\nWAVECOM MODEM\n[ok] AT+CSQ\\r\\n\n+CSQ: 20,99\n");
    EXPECT_EQ(run.err, "tervane-q7: the answer to AT+CGMI\\r\\n did not end with OK or ERROR within 300 ms\n");
}

// CR LF ACK CR LF ends an answer as well as OK does: the command went through.
TEST_F(CliSimTest, SendOfACommandAnsweredWithAckIsGood)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.ackFor = {"CGMI"}; });
    const CliRun run = Run({"--json", "--timeout", "300", "send", "AT+CGMI\\r\\n"});
    EXPECT_EQ(run.status, 0) << run.err;
    const QJsonObject command = ParseJson(run.out)["commands"].toArray().at(0).toObject();
    EXPECT_FALSE(command["failed"].toBool(true)) << run.out;
    EXPECT_TRUE(command["answered"].toBool());
    EXPECT_EQ(command["response"].toString(), "WAVECOM MODEM");
}

// Modem ports as sysfs shows them, each published in a folder of device nodes that link to
// a simulated device's port.
class CliDiscoveryTest : public CliSimTest {
protected:
    void AddModem(const std::string& tty, const std::string& port)
    {
        const fs::path usb = fs::path(dir) / "sys" / "devices" / "usb1" / ("1-" + tty);
        const fs::path interface = usb / ("1-" + tty + ":1.0");
        const fs::path ttyDir = interface / "tty" / tty;
        fs::create_directories(ttyDir);
        ASSERT_TRUE(WriteWholeFile((usb / "idVendor").string(), "114f\n"));
        ASSERT_TRUE(WriteWholeFile((usb / "manufacturer").string(), "WAVECOM\n"));
        fs::create_directory_symlink("../..", ttyDir / "device");
        fs::create_directories(fs::path(dir) / "sys" / "class" / "tty");
        fs::create_directory_symlink(ttyDir, fs::path(dir) / "sys" / "class" / "tty" / tty);
        fs::create_directories(fs::path(dir) / "dev");
        fs::create_symlink(port, fs::path(dir) / "dev" / tty);
    }

    CliRun Discover(std::vector<std::string> args)
    {
        CliSetting setting;
        setting.clock = &clock;
        setting.sysRoot = fs::canonical(dir).string() + "/sys";
        setting.devDir = dir + "/dev";
        return RunTool(args, setting);
    }
};

TEST_F(CliDiscoveryTest, FindsTheOneDevice)
{
    AddModem("ttyACM0", device.PortPath());
    const CliRun run = Discover({"--json", "info"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ParseJson(run.out)["port"].toString().toStdString(), dir + "/dev/ttyACM0");
}

TEST_F(CliDiscoveryTest, ListsSeveralAndAsksForPort)
{
    sim::SimulatedQ7 second;
    ASSERT_TRUE(second.Start());
    AddModem("ttyACM0", device.PortPath());
    AddModem("ttyACM1", second.PortPath());
    const CliRun run = Discover({"--json", "info"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "tervane-q7: several Skellin Q7 found (" + dir + "/dev/ttyACM0, " + dir
            + "/dev/ttyACM1); choose one with --port\n");
    const QJsonArray candidates = ParseJson(run.out)["candidates"].toArray();
    ASSERT_EQ(candidates.size(), 2);
    EXPECT_EQ(candidates[1].toString().toStdString(), dir + "/dev/ttyACM1");
    EXPECT_TRUE(device.ReceivedCommands().empty());
    EXPECT_TRUE(second.ReceivedCommands().empty());
    second.Stop();
}

TEST_F(CliSimTest, SendShowsEachAnswer)
{
    const CliRun run = Run({"send", "AT+CGMI\\r\\n", "AT+CSQ\\r\\n"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "[ok] AT+CGMI\\r\\n\nWAVECOM MODEM\n[ok] AT+CSQ\\r\\n\n+CSQ: 20,99\n");
}

TEST_F(CliSimTest, LogRecordsEveryExchange)
{
    const std::string log = dir + "/exchanges.log";
    const CliRun run = Run({"--log", log, "python", "ls"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = ReadWholeFile(log);
    EXPECT_NE(text.find("tervane-q7 "), std::string::npos);
    EXPECT_NE(text.find("<ls dir='/WEB/python'/>"), std::string::npos);
    EXPECT_NE(text.find("main.py"), std::string::npos);

    const CliRun unwritable = Run({"--log", "/nonexistent/x.log", "python", "ls"});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.err, "tervane-q7: cannot open the command log /nonexistent/x.log: No such file or directory\n");

    // A FIFO without a reader would hold the run forever at the open.
    const std::string fifo = dir + "/fifo.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const CliRun onFifo = Run({"--log", fifo, "python", "ls"});
    EXPECT_EQ(onFifo.status, 2);
    EXPECT_EQ(onFifo.err, "tervane-q7: cannot open the command log " + fifo + ": not a regular file\n");
}

TEST_F(CliSimTest, ProgressOnlyOnATerminal)
{
    CliSetting terminal;
    terminal.errorIsTerminal = true;
    const CliRun shown = Run({"python", "ls"}, terminal);
    ASSERT_EQ(shown.status, 0);
    EXPECT_NE(shown.err.find("Retrieving file list from the device..."), std::string::npos);
    EXPECT_EQ(shown.err.find('\n'), std::string::npos) << "the bar is redrawn in place and cleared";

    const CliRun quiet = Run({"python", "ls"});
    EXPECT_EQ(quiet.err, "");
}

TEST(CliHelpTest, EverySubcommandHasItsHelp)
{
    for (const Subcommand& subcommand : Subcommands()) {
        std::vector<std::string> args;
        if (!subcommand.group.empty())
            args.emplace_back(subcommand.group);
        args.emplace_back(subcommand.name);
        args.emplace_back("--help");
        const CliRun run = RunTool(args, CliSetting {});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind("Usage: tervane-q7 [OPTIONS] " + subcommand.FullName(), 0), 0u) << run.out;
        EXPECT_EQ(run.err, "");
    }
    const CliRun general = RunTool({"--help"}, CliSetting {});
    EXPECT_EQ(general.status, 0);
    for (const Subcommand& subcommand : Subcommands())
        EXPECT_NE(general.out.find("  " + subcommand.FullName() + " "), std::string::npos) << subcommand.FullName();
    const CliRun group = RunTool({"python", "--help"}, CliSetting {});
    EXPECT_NE(group.out.find("python get NAME [DEST]"), std::string::npos);
    EXPECT_EQ(group.out.find("firmware"), std::string::npos);
}

// An option only some subcommands take is refused by the others before anything is sent:
// a --check that a subcommand ignored would change the device.
struct ForeignOption {
    const char* name;
    std::vector<std::string> args;
    const char* expected;
};

void PrintTo(const ForeignOption& row, std::ostream* out)
{
    *out << row.name;
}

class CliForeignOptionTest : public CliSimTest, public ::testing::WithParamInterface<ForeignOption> { };

TEST_P(CliForeignOptionTest, IsRefusedNamingTheOptionAndTheSubcommand)
{
    device.PutFile("/WEB/python/main.py", "print('hello')\n");
    const auto before = device.Setting("mobile_simple/apn");
    const CliRun run = Run(GetParam().args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err.rfind(std::string("tervane-q7: ") + GetParam().expected + "\n", 0), 0u) << run.err;
    EXPECT_TRUE(device.ReceivedCommands().empty()) << "nothing is sent";
    EXPECT_EQ(device.Setting("mobile_simple/apn"), before);
    EXPECT_TRUE(device.HasFile("/WEB/python/main.py"));
}

INSTANTIATE_TEST_SUITE_P(Options, CliForeignOptionTest,
    ::testing::Values(ForeignOption {"checkBeforeSettingsSet", {"--check", "settings", "set", "mobile_simple/apn=x"},
                          "settings set does not take --check"},
        ForeignOption {"checkAfterPythonRm", {"python", "rm", "--check", "main.py"}, "python rm does not take --check"},
        ForeignOption {"checkFactoryReset", {"--check", "factory-reset", "--yes"},
            "factory-reset does not take --check"},
        ForeignOption {"diffRestore", {"--diff", "restore", "backup.cfg"}, "restore does not take --diff"},
        ForeignOption {"recordWithValueInfo", {"--record=x.csv", "info"}, "info does not take --record"},
        ForeignOption {"probeInfo", {"info", "--probe"}, "info does not take --probe"},
        ForeignOption {"checkDevices", {"devices", "--check"}, "devices does not take --check"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CliForeignOption, TheTableNamesOnlySubcommandsThatExist)
{
    for (const auto& entry : SubcommandOptions()) {
        std::size_t takers = 0;
        for (const auto& subcommand : Subcommands())
            takers += SubcommandTakesOption(subcommand, entry.option) ? 1 : 0;
        EXPECT_EQ(takers,
            static_cast<std::size_t>(std::count(entry.subcommands.begin(), entry.subcommands.end(), ' ') + 1))
            << entry.option;
    }
}

} // namespace
} // namespace tervane::test
