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
    const QJsonArray results = json["devices"].toArray();
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

} // namespace
} // namespace tervane::test
