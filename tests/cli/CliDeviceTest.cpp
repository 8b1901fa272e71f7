// info, settings get and settings set against the simulated device.

#include "CliSimFixture.h"

#include <QJsonArray>
#include <QJsonObject>

#include <atomic>
#include <functional>
#include <chrono>
#include <thread>

namespace tervane::test {
namespace {

TEST_F(CliSimTest, InfoShowsWhatTheDeviceReports)
{
    const CliRun run = Run({"info"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto lines = Lines(run.out);
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("Product:              Q7")) << run.out;
    EXPECT_TRUE(has("Firmware Version:     2.4.1.7")) << run.out;
    EXPECT_TRUE(has("Serial Number (IMEI): 356938035643809")) << run.out;
    EXPECT_TRUE(has("Phone Number:         +15551230077")) << run.out;
    EXPECT_TRUE(has("Signal Strength:      20 (-73 dBm), 5 of 5 bars")) << run.out;
    EXPECT_TRUE(has("Mobile IP Address:    10.72.14.203 (link up)")) << run.out;
}

TEST_F(CliSimTest, InfoAsJson)
{
    device.SetSignalQuality(99);
    sim::Faults faults;
    faults.noSim = true;
    device.SetFaults(faults);

    const CliRun run = Run({"--json", "info"});
    ASSERT_EQ(run.status, 0) << run.err;
    const QJsonObject info = ParseJson(run.out);
    EXPECT_EQ(info["command"].toString(), "info");
    EXPECT_TRUE(info["ok"].toBool());
    EXPECT_EQ(info["exitStatus"].toInt(-1), 0);
    EXPECT_EQ(info["port"].toString().toStdString(), device.PortPath());
    EXPECT_EQ(info["imei"].toString(), "356938035643809");
    EXPECT_EQ(info["imsi"].toString(), "No SIM Inserted");
    EXPECT_EQ(info["phoneNumber"].toString(), "N/A");
    EXPECT_EQ(info["modemType"].toString(), "WAVECOM MODEM");
    EXPECT_EQ(info["product"].toString(), "Q7");
    EXPECT_EQ(info["firmwareVersion"].toString(), "2.4.1.7");
    EXPECT_EQ(info["mobileIpAddress"].toString(), "0.0.0.0");
    EXPECT_FALSE(info["linkUp"].toBool(true));
    EXPECT_TRUE(info["radioConfigured"].toBool());
    const QJsonObject signal = info["signal"].toObject();
    EXPECT_EQ(signal["quality"].toInt(), 99);
    EXPECT_TRUE(signal["dbm"].isNull()) << "99 means the modem cannot tell";
    EXPECT_EQ(signal["bars"].toInt(-1), 0);
    EXPECT_EQ(signal["barsShown"].toInt(), 5);
    EXPECT_TRUE(info["errors"].toArray().isEmpty());
}

// A device without a configured radio, answering the radio query with the text alone or
// inside a reply document.
class CliNoRadioTest : public ::testing::TestWithParam<bool> {};

TEST_P(CliNoRadioTest, InfoSaysTheRadioIsNotConfigured)
{
    sim::DeviceConfig config = FastRestarts();
    config.radioConfigured = false;
    config.wrapsNoRadioAnswer = GetParam();
    sim::SimulatedQ7 device{config};
    ASSERT_TRUE(device.Start());
    FastClock clock{100};
    CliSetting setting;
    setting.clock = &clock;

    const CliRun run = RunTool({"--port", device.PortPath(), "info"}, setting);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Ravlo Radio:          not configured"), lines.end()) << run.out;

    const CliRun json = RunTool({"--port", device.PortPath(), "--json", "info"}, setting);
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_FALSE(ParseJson(json.out)["radioConfigured"].toBool(true));
}

INSTANTIATE_TEST_SUITE_P(Answers, CliNoRadioTest, ::testing::Values(false, true),
    [](const auto& row) { return std::string(row.param ? "InsideAReply" : "TextAlone"); });

TEST_F(CliSimTest, SettingsGetByPathAndAll)
{
    const CliRun one = Run({"settings", "get", "MOBILE_SIMPLE/APN", "mgmtconnection&index=3/connectionEnabled"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "MOBILE_SIMPLE/APN=internet.tervane\nmgmtconnection&index=3/connectionEnabled=off\n");

    const CliRun all = Run({"settings", "get", "--json"});
    ASSERT_EQ(all.status, 0) << all.err;
    const QJsonObject settings = ParseJson(all.out)["settings"].toObject();
    EXPECT_GT(settings.size(), 20);
    for (const char* path : {"mobile_simple/apn", "serial&index=1/baud", "system/location",
             "mgmtconnection&index=1/ServerArray&index=1/serverAddress"}) {
        EXPECT_EQ(settings[path].toString().toStdString(), device.Setting(path).value_or("<none>")) << path;
    }
}

TEST_F(CliSimTest, SettingsSetStoresAppliesAndReadsBack)
{
    const CliRun run = Run({"--json", "settings", "set", "mobile_simple/apn=fleet.example",
        "mgmtconnection&index=3/connectionEnabled=on", "system/location=Mast 4 <north> & \"east\""});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "fleet.example");
    EXPECT_EQ(device.Setting("mgmtconnection&index=3/connectionEnabled"), "on");
    EXPECT_EQ(device.Setting("system/location"), "Mast 4 <north> & \"east\"");

    const QJsonArray rows = ParseJson(run.out)["settings"].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].toObject()["path"].toString(), "mobile_simple/apn");
    EXPECT_EQ(rows[0].toObject()["kept"].toString(), "fleet.example");
    EXPECT_TRUE(rows[2].toObject()["asRequested"].toBool());
}

TEST_F(CliSimTest, SettingsSetShowsWhatTheDeviceKept)
{
    const CliRun run = Run({"settings", "set", "serial&index=1/baud=12345", "mobile_simple/apn=kept.example"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "serial&index=1/baud=9600\nmobile_simple/apn=kept.example\n");
    EXPECT_EQ(run.err,
        "tervane-q7: the device refused the new settings: Invalid value for baud: 12345\n"
        "tervane-q7: the device did not keep serial&index=1/baud=12345; it holds '9600'\n");
}

TEST_F(CliSimTest, SettingsSetWithAFailedReadBackClaimsNothing)
{
    // Once the new settings are in, the read-back answers ERROR, so the document still
    // holds the typed values: they must not be shown as kept.
    std::atomic<bool> done {false};
    std::thread saboteur([&] {
        while (!done && !Received("<set_setting>"))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        device.ChangeFaults([](sim::Faults& faults) { faults.errorFor.push_back("<query_setting>"); });
    });
    const CliRun run = Run({"settings", "set", "mobile_simple/apn=x.example"});
    done = true;
    saboteur.join();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tervane-q7: the device's settings could not be read back; what it kept is unknown\n");
}

// A signal the modem never reported is unknown, not the -113 dBm a quality of 0 would mean.
TEST_F(CliSimTest, InfoWithoutASignalAnswerStatesNoSignal)
{
    struct Case {
        const char* name;
        std::function<void(sim::Faults&)> fault;
    };
    const Case cases[] = {
        {"AT+CSQ unanswered", [](sim::Faults& f) { f.silentFor = {"AT+CSQ"}; }},
        {"AT+CSQ refused", [](sim::Faults& f) { f.errorFor = {"AT+CSQ"}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.SetFaults({});
        device.ChangeFaults(c.fault);
        const CliRun text = Run({"info"});
        const auto lines = Lines(text.out);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Signal Strength:      unknown, 0 of 5 bars"), lines.end())
            << text.out;
        const CliRun json = Run({"--json", "info"});
        const QJsonObject signal = ParseJson(json.out)["signal"].toObject();
        EXPECT_TRUE(signal["dbm"].isNull()) << json.out;
        EXPECT_EQ(signal["quality"].toInt(), 99);
        EXPECT_EQ(signal["bars"].toInt(-1), 0);
    }
}

TEST_F(CliSimTest, SettingsSetWithoutTheDevicesSettingsSendsNothing)
{
    struct Case {
        const char* name;
        std::function<void(sim::Faults&)> fault;
    };
    const Case cases[] = {
        {"settings query refused", [](sim::Faults& f) { f.errorFor = {"<query_setting></query_setting>"}; }},
        {"settings query unanswered", [](sim::Faults& f) { f.silentFor = {"<query_setting></query_setting>"}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.SetFaults({});
        device.ChangeFaults(c.fault);
        device.ClearReceivedCommands();
        const CliRun run = Run({"settings", "set", "mobile_simple/apn=x.example"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "tervane-q7: the device answered the settings query with nothing\n");
        EXPECT_FALSE(Received("set_setting"));
        EXPECT_EQ(device.Setting("mobile_simple/apn"), "internet.tervane");
    }
}

TEST_F(CliSimTest, AttributeHeavySettingsReplyIsRefusedWithItsReason)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.replyAttributes = 2000; });
    const CliRun run = Run({"settings", "get", "mobile_simple/apn"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tervane-q7: the device's settings could not be read: an element holds more than 32 attributes\n");
}

TEST_F(CliSimTest, SettingsSetChecksEveryPathBeforeSending)
{
    const CliRun unknown = Run({"settings", "set", "mobile_simple/apn=x", "mobile_simple/nope=y"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "tervane-q7: the device has no setting mobile_simple/nope; nothing was sent\n");
    EXPECT_FALSE(Received("set_setting"));
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "internet.tervane");

    device.ClearReceivedCommands();
    const CliRun malformed = Run({"settings", "set", "mobile_simple/apn"});
    EXPECT_EQ(malformed.status, 2);
    EXPECT_EQ(Lines(malformed.err).front(), "tervane-q7: 'mobile_simple/apn' is not PATH=VALUE");
    EXPECT_TRUE(device.ReceivedCommands().empty()) << "nothing is sent for a malformed command line";
}

// The document names asked paths in the order asked, a repeated one once, a missing one as null.
TEST_F(CliSimTest, SettingsGetJsonKeepsTheAskedOrder)
{
    const CliRun run =
        Run({"--json", "settings", "get", "system/location", "mobile_simple/apn", "nothing/here", "system/location"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("  \"settings\": {\n"
                           "    \"system/location\": \"Building 2, roof\",\n"
                           "    \"mobile_simple/apn\": \"internet.tervane\",\n"
                           "    \"nothing/here\": null\n"
                           "  },\n"),
        std::string::npos)
        << run.out;
}

TEST_F(CliSimTest, SettingsGetOfAMissingPathIsAUsageError)
{
    const CliRun run = Run({"settings", "get", "mobile_simple/apn", "nothing/here"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "mobile_simple/apn=internet.tervane\n");
    EXPECT_EQ(run.err, "tervane-q7: the device has no setting nothing/here\n");
}

} // namespace
} // namespace tervane::test
