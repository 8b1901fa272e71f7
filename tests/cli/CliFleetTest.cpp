// Several gateways at once: devices, --all and repeated --port against simulated gateways
// published under a small sysfs, each with its own IMEI.

#include "CliTestSupport.h"
#include "Clock.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"
#include "StopRequest.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

namespace fs = std::filesystem;

namespace tervane::test {
namespace {

constexpr int kGateways = 3;

class CliFleetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        clock.HoldWhile([this] {
            return std::any_of(devices.begin(), devices.end(), [](const auto& d) { return d->Restarting(); });
        });
        const fs::path sys = fs::path(dir) / "sys";
        fs::create_directories(sys / "class" / "tty");
        fs::create_directories(fs::path(dir) / "dev");
        for (int i = 0; i < kGateways; ++i) {
            auto& device = devices.emplace_back(std::make_unique<sim::SimulatedQ7>(sim::NthGateway(FastRestarts(), i)));
            ASSERT_TRUE(device->Start());
            const std::string tty = "ttyACM" + std::to_string(i);
            // The USB device with its strings, its interface, and the tty below it.
            const fs::path usb = sys / "devices" / "usb1" / ("1-" + std::to_string(i + 1));
            const fs::path ttyDir = usb / (usb.filename().string() + ":1.0") / "tty" / tty;
            fs::create_directories(ttyDir);
            ASSERT_TRUE(WriteWholeFile((usb / "idVendor").string(), "114f\n"));
            ASSERT_TRUE(WriteWholeFile((usb / "manufacturer").string(), "WAVECOM\n"));
            ASSERT_TRUE(WriteWholeFile((usb / "serial").string(), "Q7-000" + std::to_string(i) + "\n"));
            fs::create_directory_symlink(fs::relative(ttyDir.parent_path().parent_path(), ttyDir), ttyDir / "device");
            fs::create_directory_symlink(fs::relative(ttyDir, sys / "class" / "tty"), sys / "class" / "tty" / tty);
            fs::create_symlink(device->PortPath(), fs::path(dir) / "dev" / tty);
            ports.push_back(dir + "/dev/" + tty);
            // The lasting name udev gives the port, relative as udev writes it.
            fs::create_directories(fs::path(dir) / "dev" / "serial" / "by-id");
            const std::string byId = "usb-WAVECOM_Q7_Q7-000" + std::to_string(i) + "-if00";
            fs::create_symlink("../../" + tty, fs::path(dir) / "dev" / "serial" / "by-id" / byId);
            byIdPaths.push_back(dir + "/dev/serial/by-id/" + byId);
        }
        setting.clock = &clock;
        setting.sysRoot = (fs::path(dir) / "sys").string();
        setting.devDir = (fs::path(dir) / "dev").string();
    }

    void TearDown() override
    {
        ClearStopRequest();
        for (auto& device : devices)
            device->Stop();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string LocalFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        return path;
    }

    std::string dir = MakeScratchDir("tervane-fleet");
    std::vector<std::unique_ptr<sim::SimulatedQ7>> devices;
    std::vector<std::string> ports;
    std::vector<std::string> byIdPaths;
    FastClock clock {100};
    CliSetting setting;
};

TEST_F(CliFleetTest, DevicesListsWithoutOpeningAndProbesOnRequest)
{
    const CliRun listed = RunTool({"--json", "devices"}, setting);
    ASSERT_EQ(listed.status, 0) << listed.err;
    const QJsonArray rows = ParseJson(listed.out)["devices"].toArray();
    ASSERT_EQ(rows.size(), kGateways);
    EXPECT_EQ(rows[1].toObject()["port"].toString().toStdString(), ports[1]);
    EXPECT_EQ(rows[1].toObject()["serialNumber"].toString(), "Q7-0001");
    EXPECT_EQ(rows[1].toObject()["maker"].toString(), "WAVECOM");
    for (const auto& device : devices)
        EXPECT_TRUE(device->ReceivedCommands().empty()) << "listing opens no gateway";

    const CliRun probed = RunTool({"--json", "--probe", "devices"}, setting);
    ASSERT_EQ(probed.status, 0) << probed.err;
    const QJsonArray answers = ParseJson(probed.out)["devices"].toArray();
    for (int i = 0; i < kGateways; ++i)
        EXPECT_EQ(answers[i].toObject()["imei"].toString().toStdString(), devices[static_cast<std::size_t>(i)]->Config().imei);
    EXPECT_NE(answers[0].toObject()["imei"], answers[1].toObject()["imei"]);
}

TEST_F(CliFleetTest, AllAppliesToEveryGatewayWithPrefixedLines)
{
    const std::string profile = LocalFile("p.yaml", "settings:\n  mobile_simple/apn: fleet.example\n");
    const CliRun run = RunTool({"--all", "apply", profile}, setting);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const auto& device : devices)
        EXPECT_EQ(device->Setting("mobile_simple/apn"), "fleet.example");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const bool prefixed = lines[i].rfind(ports[0] + ": ", 0) == 0 || lines[i].rfind(ports[1] + ": ", 0) == 0
            || lines[i].rfind(ports[2] + ": ", 0) == 0;
        EXPECT_TRUE(prefixed) << lines[i];
    }
    EXPECT_EQ(lines.back(), "Done on 3 of 3 gateways.");
}

// The last line counts the gateways the work was done on and names the others.
TEST_F(CliFleetTest, SummaryCountsOnlyTheGatewaysDone)
{
    devices[1]->Stop();
    const CliRun run = RunTool({"--all", "settings", "get", "mobile_simple/apn"}, setting);
    EXPECT_NE(run.status, 0);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("Done on 2 of 3 gateways; not done: " + ports[1] + " (exit status ", 0), 0u)
        << lines.back();
}

TEST_F(CliFleetTest, OneRefusingAndOneVanishingLeaveTheOthersDone)
{
    const std::string profile =
        LocalFile("p.yaml", "settings:\n  mobile_simple/apn: fleet.example\npython:\n  present: [fleet.py]\n");
    LocalFile("fleet.py", "print('staged')\n");
    devices[1]->ChangeFaults([](sim::Faults& faults) { faults.errorFor.push_back("set_setting"); });
    // The third goes away once it is asked for its file list.
    std::atomic<bool> watching{true};
    std::thread vanish([&] {
        while (watching && !AnyReceived(*devices[2], "ls dir="))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        devices[2]->Stop();
    });
    const CliRun run = RunTool({"--json", "--port", ports[0], "--port", ports[1], "--port", ports[2], "apply", profile},
        setting);
    watching = false;
    vanish.join();

    EXPECT_EQ(run.status, 1) << run.err;
    const QJsonObject json = ParseJson(run.out);
    const QJsonArray results = json["gateways"].toArray();
    ASSERT_EQ(results.size(), kGateways);
    EXPECT_EQ(results[0].toObject()["exitStatus"].toInt(), 0) << run.err;
    EXPECT_EQ(results[1].toObject()["exitStatus"].toInt(), 1);
    EXPECT_NE(results[2].toObject()["exitStatus"].toInt(), 0);
    EXPECT_EQ(devices[0]->Setting("mobile_simple/apn"), "fleet.example");
    EXPECT_EQ(devices[0]->GetFile("/WEB/python/fleet.py"), "print('staged')\n");
    EXPECT_EQ(devices[1]->Setting("mobile_simple/apn"), "internet.tervane");
    EXPECT_EQ(json["notDone"].toArray(), (QJsonArray{QString::fromStdString(ports[1]), QString::fromStdString(ports[2])}));
    for (const auto& line : Lines(run.err))
        EXPECT_TRUE(line.rfind(ports[1] + ": ", 0) == 0 || line.rfind(ports[2] + ": ", 0) == 0) << line;
}

TEST_F(CliFleetTest, AStopSendsNothingMoreAndNamesTheGatewaysNotDone)
{
    const std::string profile = LocalFile("p.yaml", "settings:\n  mobile_simple/apn: fleet.example\n");
    // Ctrl-C while the gateways are being read.
    std::thread interrupt([&] {
        while (!AnyReceived(*devices[0], "AT+CGMI"))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        RequestStop();
    });
    const CliRun run = RunTool({"--json", "--all", "apply", profile}, setting);
    interrupt.join();
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(ParseJson(run.out)["notDone"].toArray().size(), kGateways);
    for (const auto& device : devices)
        EXPECT_FALSE(AnyReceived(*device, "set_setting"));
}

// One gateway named twice, by the same name or by a link and its target, runs once: two
// sessions on one port would fight over its answers.
TEST_F(CliFleetTest, AGatewayNamedTwiceRunsOnce)
{
    const CliRun run = RunTool({"--json", "--port", ports[0], "--port", devices[0]->PortPath(), "--port", ports[1],
                                   "--port", ports[0], "info"},
        setting);
    ASSERT_EQ(run.status, 0) << run.err;
    const QJsonArray results = ParseJson(run.out)["gateways"].toArray();
    ASSERT_EQ(results.size(), 2) << run.out;
    EXPECT_EQ(results[0].toObject()["port"].toString().toStdString(), ports[0]);
    EXPECT_EQ(results[1].toObject()["port"].toString().toStdString(), ports[1]);
    EXPECT_EQ(Lines(run.err).front(),
        "tervane-q7: " + devices[0]->PortPath() + " is the gateway " + ports[0] + " names; it runs once");
    const std::vector<std::string> received = devices[0]->ReceivedCommands();
    EXPECT_EQ(std::ranges::count_if(received,
                  [](const std::string& command) { return command.find("AT+CGSN") != std::string::npos; }),
        1);
}

// A gateway whose every answer runs on to its time-out: after the stop its batch sends no
// further row, so the run ends with the command under way instead of the whole batch.
TEST_F(CliFleetTest, AStopEndsAnEndlessGatewaysBatchAtTheCommandUnderWay)
{
    devices[0]->ChangeFaults([](sim::Faults& faults) { faults.unendedFor = {"AT"}; });
    std::thread interrupt([&] {
        while (!AnyReceived(*devices[0], "AT+CGMI"))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        RequestStop();
    });
    const CliRun run = RunTool({"--json", "--port", ports[0], "--port", ports[1], "info"}, setting);
    interrupt.join();
    EXPECT_NE(run.status, 0);
    EXPECT_FALSE(AnyReceived(*devices[0], "query_setting")) << "the rest of the batch is not sent";
    EXPECT_TRUE(ParseJson(run.out)["notDone"].toArray().contains(QString::fromStdString(ports[0]))) << run.out;
}

TEST_F(CliFleetTest, BackupWritesOneFilePerGatewayIntoAFolder)
{
    const std::string folder = dir + "/backups";
    fs::create_directories(folder);
    const CliRun run = RunTool({"--all", "backup", folder}, setting);
    ASSERT_EQ(run.status, 0) << run.err;
    for (int i = 0; i < kGateways; ++i)
        EXPECT_NE(ReadWholeFile(folder + "/ttyACM" + std::to_string(i) + ".cfg").find("<set_setting>"), std::string::npos);
    EXPECT_EQ(RunTool({"--all", "backup", folder + "/one.cfg"}, setting).status, 2);
    EXPECT_EQ(RunTool({"--all", "reboot"}, setting).status, 2);
}

// Values per gateway: a table keyed by IMEI with a row for two of the three, the gateway's
// own ${imei} and ${serial}, and --var. The one without a row is refused before anything is
// sent to it; the others are staged.
TEST_F(CliFleetTest, ValuesPerGatewayFromATableAndTheGatewayItself)
{
    const std::string profile = LocalFile("p.yaml",
        "settings:\n"
        "  system/location: ${site}\n"
        "  system/description: \"${imei} on ${serial} for ${owner}\"\n");
    const std::string table = LocalFile("vars.csv",
        "imei,site\r\n" + devices[0]->Config().imei + ",\"Hall 7, north\"\r\n" + devices[2]->Config().imei +
            ",Roof\r\n");

    const CliRun check =
        RunTool({"--check", "--diff", "--all", "--vars", table, "--var", "owner=Skellin", "apply", profile}, setting);
    EXPECT_EQ(check.status, 2) << "the gateway without a row weighs more than the drift of the others";
    EXPECT_NE(check.out.find(
                  ports[0] + ": would change setting system/location: Building 2, roof \u2192 Hall 7, north"),
        std::string::npos)
        << check.out;
    EXPECT_NE(check.err.find(ports[1] + ": tervane-q7: " + table + " has no row for this gateway (imei " +
                  devices[1]->Config().imei + "); nothing was sent"),
        std::string::npos)
        << check.err;

    const CliRun run = RunTool({"--all", "--vars", table, "--var", "owner=Skellin", "apply", profile}, setting);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(devices[0]->Setting("system/location"), "Hall 7, north");
    EXPECT_EQ(devices[2]->Setting("system/location"), "Roof");
    EXPECT_EQ(devices[2]->Setting("system/description"), devices[2]->Config().imei + " on Q7-0002 for Skellin");
    EXPECT_TRUE(AnyReceived(*devices[0], devices[0]->Config().imei + " on Q7-0000 for Skellin"))
        << "the value as put in is what goes on the wire";
    EXPECT_FALSE(AnyReceived(*devices[1], "set_setting"));

    // A name without a value refuses every gateway, each before anything is sent.
    const CliRun unset = RunTool({"--all", "--vars", table, "apply", profile}, setting);
    EXPECT_EQ(unset.status, 2);
    EXPECT_NE(unset.err.find(
                  ports[2] + ": tervane-q7: " + profile + ":3: settings.system/description: ${owner} has no value"),
        std::string::npos)
        << unset.err;
}

// A gateway named by what stays the same across replugs: its USB serial number, its IMEI (each
// attached gateway is asked), or its by-id port; the list and the record carry them.
TEST_F(CliFleetTest, GatewaysNamedByIdentity)
{
    struct Named {
        std::string port;
        int gateway;
    };
    for (const Named& named :
        {Named {"serial:Q7-0001", 1}, Named {"imei:" + devices[2]->Config().imei, 2}, Named {byIdPaths[0], 0}}) {
        const CliRun run = RunTool({"--json", "--port", named.port, "info"}, setting);
        ASSERT_EQ(run.status, 0) << named.port << ": " << run.err;
        EXPECT_EQ(ParseJson(run.out)["imei"].toString().toStdString(), devices[named.gateway]->Config().imei)
            << named.port;
    }

    const CliRun missing = RunTool({"--port", "serial:Q7-0009", "info"}, setting);
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("no Skellin Q7 with USB serial number Q7-0009 is attached"), std::string::npos)
        << missing.err;
    EXPECT_EQ(RunTool({"--port", "imei:000000000000000", "info"}, setting).status, 3);

    const QJsonArray listed = ParseJson(RunTool({"--json", "devices"}, setting).out)["devices"].toArray();
    ASSERT_EQ(listed.size(), kGateways);
    for (int i = 0; i < kGateways; ++i)
        EXPECT_EQ(listed[i].toObject()["byIdPath"].toString().toStdString(), byIdPaths[static_cast<std::size_t>(i)]);

    const std::string profile = LocalFile("p.yaml", "settings:\n  mobile_simple/apn: fleet.example\n");
    const std::string record = dir + "/inventory.csv";
    ASSERT_EQ(RunTool({"--port", "serial:Q7-0001", "--record", record, "apply", profile}, setting).status, 0);
    const std::vector<std::string> lines = Lines(ReadWholeFile(record));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("," + ports[1] + ",Q7-0001," + byIdPaths[1] + "," + devices[1]->Config().imei + ","),
        std::string::npos)
        << lines[1];
}

} // namespace
} // namespace tervane::test
