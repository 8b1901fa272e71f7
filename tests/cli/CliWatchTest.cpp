// watch: readings of the simulated device as lines, JSON Lines and a meter, through
// unknown readings, a device that stops answering and a restart.
#include "CliSimFixture.h"
#include "StopRequest.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <thread>

namespace tervane::test {
namespace {

class CliWatchTest : public CliSimTest {
protected:
    static QJsonObject ParseLine(const std::string& line)
    {
        QJsonParseError error {};
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        return document.object();
    }

    long CountReceived(std::string_view fragment) const
    {
        const auto commands = device.ReceivedCommands();
        return std::count_if(commands.begin(), commands.end(),
            [&](const std::string& command) { return command.find(fragment) != std::string::npos; });
    }
};

TEST_F(CliWatchTest, JsonGivesOneParseableLinePerReading)
{
    const CliRun run = Run({"--json", "watch", "--count", "3", "--interval", "0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    for (const auto& line : lines) {
        const QJsonObject reading = ParseLine(line);
        EXPECT_EQ(reading.value("port").toString().toStdString(), device.PortPath());
        EXPECT_EQ(reading.value("csq").toInt(), 20);
        EXPECT_EQ(reading.value("dbm").toInt(), -73);
        EXPECT_EQ(reading.value("bars").toInt(), 5);
        EXPECT_EQ(reading.value("barsShown").toInt(), 5);
        EXPECT_EQ(reading.value("registration").toString(), "home");
        EXPECT_TRUE(reading.value("answered").toBool());
        EXPECT_TRUE(reading.value("time").toString().endsWith('Z'));
    }
    EXPECT_EQ(CountReceived("AT+CSQ"), 3);
    EXPECT_EQ(CountReceived("AT+CREG?"), 3);
}

TEST_F(CliWatchTest, TextLinesNameTheReading)
{
    const CliRun run = Run({"watch", "--count", "2", "--interval", "0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    for (const auto& line : lines) {
        EXPECT_EQ(line.size(), 24u + std::string("  CSQ 20  -73 dBm  bars 5/5  home").size()) << line;
        EXPECT_NE(line.find("  CSQ 20  -73 dBm  bars 5/5  home"), std::string::npos) << line;
    }
}

TEST_F(CliWatchTest, UnknownReadingsAreNullNotALevel)
{
    device.SetSignalQuality(99);
    const CliRun run = Run({"--json", "watch", "--count", "2", "--interval", "0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& line : lines) {
        const QJsonObject reading = ParseLine(line);
        EXPECT_TRUE(reading.value("csq").isNull());
        EXPECT_TRUE(reading.value("dbm").isNull());
        EXPECT_TRUE(reading.value("bars").isNull());
        EXPECT_TRUE(reading.value("answered").toBool());
    }
    const CliRun text = Run({"watch", "--count", "1", "--interval", "0.1"});
    EXPECT_NE(text.out.find("  CSQ unknown  bars 0/5  home"), std::string::npos) << text.out;
}

TEST_F(CliWatchTest, ADeviceThatStopsAnsweringIsWaitedFor)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.silent = true; });
    const CliRun run = Run({"watch", "--count", "1", "--interval", "0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  waiting for the device\n"), std::string::npos) << run.out;
}

TEST_F(CliWatchTest, SurvivesARestart)
{
    // The device restarts after the second reading; once it is back and has been asked for
    // two whole readings more, Ctrl-C ends the watch, which still shows what had arrived.
    std::thread restarter([this] {
        const auto waitFor = [](const auto& done) {
            while (!done())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        };
        waitFor([this] { return CountReceived("AT+CREG?") >= 2; });
        device.Restart(1500);
        waitFor([this] { return device.RestartCount() == 1 && !device.Restarting(); });
        const long back = CountReceived("AT+CREG?");
        waitFor([&] { return CountReceived("AT+CREG?") >= back + 3; });
        RequestStop();
    });
    // The count only bounds a watch that never recovers.
    const CliRun run = Run({"--json", "watch", "--count", "600", "--interval", "0.1"});
    restarter.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(device.RestartCount(), 1);
    const auto lines = Lines(run.out);
    ASSERT_LT(lines.size(), 600u) << "the watch never recovered";
    ASSERT_GE(lines.size(), 4u) << run.out;
    // Readings go on once the device is back.
    EXPECT_EQ(ParseLine(lines.back()).value("csq").toInt(), 20) << run.out;
    EXPECT_TRUE(ParseLine(lines.back()).value("answered").toBool()) << run.out;
}

TEST_F(CliWatchTest, SeveralGatewaysNameTheirLines)
{
    sim::SimulatedQ7 second {FastRestarts()};
    ASSERT_TRUE(second.Start());
    second.SetSignalQuality(10);
    const CliRun run = Run({"--port", second.PortPath(), "--json", "watch", "--count", "2", "--interval", "0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    std::map<std::string, std::vector<int>> byPort;
    for (const auto& line : lines) {
        const QJsonObject reading = ParseLine(line);
        byPort[reading.value("port").toString().toStdString()].push_back(reading.value("csq").toInt());
    }
    EXPECT_EQ(byPort[device.PortPath()], (std::vector<int> {20, 20}));
    EXPECT_EQ(byPort[second.PortPath()], (std::vector<int> {10, 10}));

    const CliRun text = Run({"--port", second.PortPath(), "watch", "--count", "1", "--interval", "0.1"});
    for (const auto& line : Lines(text.out))
        EXPECT_TRUE(line.find("  " + device.PortPath() + "  ") != std::string::npos ||
            line.find("  " + second.PortPath() + "  ") != std::string::npos)
            << line;
}

TEST_F(CliWatchTest, OnATerminalOneMeterLineIsRedrawn)
{
    CliSetting terminal;
    terminal.outputIsTerminal = true;
    device.SetSignalQuality(12);
    const CliRun run = Run({"watch", "--count", "3", "--interval", "0.1"}, terminal);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "the meter ends with one line end";
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\r'), 3);
    EXPECT_NE(run.out.find("\r[###..] -89 dBm  peak -89 dBm\x1b[K"), std::string::npos) << run.out;
}

TEST_F(CliWatchTest, RefusesAnIntervalOrCountOutOfRange)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {{"watch", "--interval", "0.05"},
             {"watch", "--interval", "1.2345"}, {"watch", "--interval", "x"}, {"watch", "--count", "0"},
             {"watch", "--count", "-1"}, {"watch", "--interval", "3601"}}) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args.back();
    }
    EXPECT_TRUE(device.ReceivedCommands().empty());
}

} // namespace
} // namespace tervane::test
