// apply against the simulated device: profiles applied, checked and diffed, refused before
// anything is sent, firmware left alone when it matches, and the inventory record.

#include "CliSimFixture.h"

#include <QJsonArray>
#include <QJsonObject>

#include <filesystem>
#include <set>

namespace tervane::test {
namespace {

class CliApplyTest : public CliSimTest {
protected:
    std::string Profile(const std::string& text) { return LocalFile("gateway.yaml", text); }

    // Whether the device was asked to change anything: a settings document, a deletion or an upload.
    bool AnythingWritten(int uploadsBefore) const
    {
        return Received("set_setting") || Received("<rm ") || Received("at&usbinterface=110")
            || device.UploadCount() != uploadsBefore;
    }

    std::string fleetPy = LocalFile("fleet.py", "print('staged')\n");
};

TEST_F(CliApplyTest, CheckThenApplyThenNothingLeftToChange)
{
    const std::string profile = Profile("settings:\n"
                                        "  mobile_simple/apn: fleet.example\n"
                                        "python:\n"
                                        "  present: [fleet.py]\n"
                                        "  absent: [xbee.py]\n"
                                        "  autostart: {enabled: true, command: fleet.py}\n");

    const CliRun check = Run({"--json", "--check", "apply", profile});
    ASSERT_EQ(check.status, 4) << "a gateway that differs has a status of its own; " << check.err;
    const QJsonObject checked = ParseJson(check.out);
    EXPECT_FALSE(checked["changed"].toBool());
    EXPECT_EQ(checked["changes"].toArray().size(), 5) << check.out;
    EXPECT_FALSE(AnythingWritten(0)) << "--check sends only reads";
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "internet.tervane");
    EXPECT_TRUE(device.HasFile("/WEB/python/xbee.py"));

    const CliRun applied = Run({"--json", "apply", profile});
    ASSERT_EQ(applied.status, 0) << applied.err;
    const QJsonObject done = ParseJson(applied.out);
    EXPECT_TRUE(done["changed"].toBool());
    EXPECT_TRUE(done["failures"].toArray().isEmpty());
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "fleet.example");
    EXPECT_EQ(device.Setting("python/state"), "on");
    EXPECT_EQ(device.Setting("python/command"), "fleet.py");
    EXPECT_EQ(device.GetFile("/WEB/python/fleet.py"), "print('staged')\n");
    EXPECT_FALSE(device.HasFile("/WEB/python/xbee.py"));

    device.ClearReceivedCommands();
    const int uploads = device.UploadCount();
    const CliRun again = Run({"apply", profile});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("Nothing to change"), std::string::npos) << again.out;
    EXPECT_FALSE(AnythingWritten(uploads)) << "a second run sends only reads";
    EXPECT_TRUE(Received("at&usbinterface=41,\"/WEB/python/fleet.py\"")) << "the file is compared by digest";
}

TEST_F(CliApplyTest, OneSettingsApplyForSeveralValues)
{
    const std::string profile = Profile("settings:\n"
                                        "  mobile_simple: {apn: fleet.example}\n"
                                        "  python/command: other.py\n");
    const CliRun run = Run({"apply", profile});
    ASSERT_EQ(run.status, 0) << run.err;
    int sends = 0;
    for (const auto& command : device.ReceivedCommands())
        sends += command.find("set_setting") != std::string::npos ? 1 : 0;
    EXPECT_EQ(sends, 1);
}

TEST_F(CliApplyTest, JsonProfilesAreProfilesToo)
{
    const std::string profile = LocalFile("gateway.json",
        R"({"settings": {"mobile_simple": {"apn": "fleet.example"}}, "python": {"present": ["fleet.py"]}})");
    const CliRun run = Run({"apply", profile});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "fleet.example");
    EXPECT_TRUE(device.HasFile("/WEB/python/fleet.py"));
}

TEST_F(CliApplyTest, DiffListsExactlyTheChangedPathsAndHidesSecrets)
{
    ASSERT_TRUE(device.Setting("mobile_simple/password").has_value());
    const std::string profile = Profile("settings:\n"
                                        "  mobile_simple/apn: fleet.example\n"
                                        "  mobile_simple/password: hunter2\n"
                                        "  mobile_simple/pin: 4711\n"
                                        "  python/command: main.py\n");
    const CliRun run = Run({"--check", "--diff", "apply", profile});
    ASSERT_EQ(run.status, 4) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    const std::set<std::string> changes(lines.begin(), lines.end() - 1);
    EXPECT_EQ(changes, (std::set<std::string>{
                           "would change setting mobile_simple/apn: internet.tervane \u2192 fleet.example",
                           "would change setting mobile_simple/password: ******** \u2192 ********",
                           "would change setting mobile_simple/pin: ******** \u2192 ********",
                       }))
        << run.out;
    EXPECT_EQ(run.out.find("hunter2"), std::string::npos);
    EXPECT_EQ(run.out.find("4711"), std::string::npos);
    const CliRun json = Run({"--json", "--check", "apply", profile});
    EXPECT_EQ(json.out.find("4711"), std::string::npos) << json.out;
}

// An ERROR to the settings request is a refusal without words: each value is a failure
// saying so and what the device still holds, a secret hidden; nothing counts as changed.
TEST_F(CliApplyTest, ValuesTheDeviceRefusesAreFailuresNamingThePathNeverASecret)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.errorFor.push_back("set_setting"); });
    const std::string profile = Profile("settings:\n  mobile_simple/apn: fleet.example\n"
                                        "  mobile_simple/password: hunter2\n");
    const CliRun run = Run({"--json", "apply", profile});
    EXPECT_EQ(run.status, 1);
    const QJsonObject json = ParseJson(run.out);
    EXPECT_FALSE(json["changed"].toBool(true)) << run.out;
    EXPECT_TRUE(json["changes"].toArray().isEmpty()) << run.out;
    const QJsonArray failures = json["failures"].toArray();
    ASSERT_EQ(failures.size(), 2) << run.out;
    EXPECT_EQ(failures[0].toString().toStdString(),
        "mobile_simple/apn: the device refused 'fleet.example': an error answer or none; it holds 'internet.tervane'");
    EXPECT_EQ(failures[1].toString().toStdString(),
        "mobile_simple/password: the device refused '********': an error answer or none; it holds '********'");
    EXPECT_EQ(run.out.find("hunter2"), std::string::npos);
    EXPECT_EQ(run.err.find("hunter2"), std::string::npos);
}

// A value the device refuses in its reply (it answers OK all the same) is the failure line
// with the device's words; only what the read-back shows changed is reported changed.
struct RefusedValueCase {
    const char* name;
    const char* profile;
    std::vector<std::string> changed; // the "changed ..." lines
    std::string failure;
};

class ApplyRefusedValue : public CliApplyTest, public ::testing::WithParamInterface<RefusedValueCase> { };

TEST_P(ApplyRefusedValue, IsAFailureWithTheDevicesWordsAndNoChange)
{
    const CliRun run = Run({"apply", Profile(GetParam().profile)});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.out), GetParam().changed) << run.out;
    EXPECT_EQ(run.err, "tervane-q7: " + GetParam().failure + "\n");

    const CliRun json = Run({"--json", "apply", Profile(GetParam().profile)});
    EXPECT_EQ(json.status, 1);
    const QJsonObject document = ParseJson(json.out);
    // The second run finds the kept values in place already.
    EXPECT_FALSE(document["changed"].toBool(true)) << json.out;
    const QJsonArray failures = document["failures"].toArray();
    ASSERT_EQ(failures.size(), 1) << json.out;
    EXPECT_EQ(failures[0].toString().toStdString(), GetParam().failure);
}

INSTANTIATE_TEST_SUITE_P(Values, ApplyRefusedValue,
    ::testing::Values(
        RefusedValueCase {"AloneChangesNothing", "settings:\n  serial&index=1/baud: 12345\n", {},
            "serial&index=1/baud: the device refused '12345': Invalid value for baud: 12345; it holds '9600'"},
        RefusedValueCase {"BesideAKeptOne",
            "settings:\n  serial&index=1/baud: 12345\n  mobile_simple/apn: fleet.example\n",
            {"changed setting mobile_simple/apn"},
            "serial&index=1/baud: the device refused '12345': Invalid value for baud: 12345; it holds '9600'"},
        RefusedValueCase {"OfTheRadio", "radio:\n  radio/power_level: 9\n", {},
            "radio/power_level: the device refused '9': Invalid value for power_level: 9; it holds '4'"}),
    [](const auto& row) { return std::string(row.param.name); });

// A listing that does not read as one says nothing about which files the device holds: the
// files to remove cannot be told, so the profile is not reported as held.
TEST_F(CliApplyTest, AnUnreadableListingFailsTheRun)
{
    ASSERT_TRUE(device.HasFile("/WEB/python/xbee.py"));
    device.ChangeFaults([](sim::Faults& faults) { faults.brokenListing = true; });
    const std::string profile = Profile("python:\n  absent: [xbee.py]\n");

    const CliRun run = Run({"--json", "apply", profile});

    EXPECT_EQ(run.status, 1) << run.out;
    const QJsonArray failures = ParseJson(run.out)["failures"].toArray();
    ASSERT_EQ(failures.size(), 1) << run.out;
    EXPECT_EQ(failures[0].toString().toStdString(), "the device did not list its Python files");
    EXPECT_TRUE(device.HasFile("/WEB/python/xbee.py"));
}

struct RefusalCase {
    const char* name;
    const char* profile;
    const char* expected;  // in the first failure line, after the profile's path
};

void PrintTo(const RefusalCase& row, std::ostream* out)
{
    *out << row.name;
}

class ApplyRefusal : public CliApplyTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ApplyRefusal, NothingIsSentAndTheKeyAndLineAreNamed)
{
    const std::string profile = Profile(GetParam().profile);
    const CliRun run = Run({"apply", profile});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err.rfind("tervane-q7: " + profile + GetParam().expected, 0), 0u) << run.err;
    EXPECT_FALSE(AnythingWritten(0));
    EXPECT_FALSE(Received("at&usbinterface=22"));
}

INSTANTIATE_TEST_SUITE_P(BadProfiles, ApplyRefusal,
    ::testing::Values(
        RefusalCase{"unknown_key", "settings:\n  mobile_simple/apn: x\nfirmwre:\n  version: 1\n",
            ":3: firmwre: unknown key"},
        RefusalCase{"unknown_python_key", "python:\n  presnt: [fleet.py]\n", ":2: python.presnt: unknown key"},
        RefusalCase{"path_the_device_lacks", "settings:\n  mobile_simple/apn: x\n  mobile_simple/apm: y\n",
            ":3: settings.mobile_simple/apm: the device has no setting mobile_simple/apm"},
        RefusalCase{"missing_file", "python:\n  present:\n    - fleet.py\n    - gone.py\n",
            ":4: python.present[1]: cannot read "},
        RefusalCase{"missing_image", "firmware:\n  version: 2.5.0.3\n  image: q7.bin\n", ":3: firmware.image: cannot read "},
        RefusalCase{"bad_yaml", "settings:\n  mobile_simple/apn: [x\n", ":3: not YAML"},
        RefusalCase{"value_xml_cannot_carry", "settings:\n  mobile_simple/apn: \"a\\x01b\"\n",
            ":2: settings.mobile_simple/apn: holds characters a settings document cannot carry"},
        RefusalCase{"list_for_a_value", "settings:\n  mobile_simple/apn: [a, b]\n",
            ":2: settings.mobile_simple/apn: wants a single value"},
        RefusalCase{"no_value", "settings:\n  mobile_simple/apn:\n", ":2: settings.mobile_simple/apn: has no value"},
        RefusalCase{"present_and_absent", "python:\n  present: [fleet.py]\n  absent: [fleet.py]\n",
            ":3: python.absent[0]: fleet.py is also listed as present"},
        RefusalCase{"anchor", "settings:\n  mobile_simple/apn: &apn x\n  python/command: y\n",
            ":2: an anchor (&) is not allowed in a profile"},
        RefusalCase{"alias_of_an_anchor_elsewhere", "settings:\n  mobile_simple/apn: *apn\n",
            ":2: not YAML"},
        RefusalCase{"billion_laughs",
            "a: &a [x, x, x, x, x, x, x, x, x, x]\nb: &b [*a, *a, *a, *a, *a, *a, *a, *a, *a, *a]\n"
            "c: &c [*b, *b, *b, *b, *b, *b, *b, *b, *b, *b]\nd: &d [*c, *c, *c, *c, *c, *c, *c, *c, *c, *c]\n"
            "e: &e [*d, *d, *d, *d, *d, *d, *d, *d, *d, *d]\nf: &f [*e, *e, *e, *e, *e, *e, *e, *e, *e, *e]\n"
            "g: &g [*f, *f, *f, *f, *f, *f, *f, *f, *f, *f]\nh: &h [*g, *g, *g, *g, *g, *g, *g, *g, *g, *g]\n"
            "python:\n  absent: *h\n",
            ":1: an anchor (&) is not allowed in a profile"},
        RefusalCase{"top_level_key_twice", "python:\n  absent: [a.py]\npython:\n  absent: [b.py]\n",
            ":3: python: is given twice"},
        RefusalCase{"image_key_twice", "firmware:\n  version: 1\n  version: 2\n", ":3: firmware.version: is given twice"},
        RefusalCase{"python_key_twice", "python:\n  absent: [a.py]\n  absent: [b.py]\n",
            ":3: python.absent: is given twice"},
        RefusalCase{"autostart_key_twice", "python:\n  autostart:\n    command: a.py\n    command: b.py\n",
            ":4: python.autostart.command: is given twice"},
        RefusalCase{"path_in_another_case", "settings:\n  mobile_simple/apn: x\n  MOBILE_SIMPLE/APN: y\n",
            ":3: settings.MOBILE_SIMPLE/APN: is given twice"},
        RefusalCase{"path_as_steps_in_another_case", "settings:\n  mobile_simple/apn: x\n  Mobile_Simple:\n    Apn: y\n",
            ":4: settings.Mobile_Simple/Apn: is given twice"},
        RefusalCase{"absent_file_twice", "python:\n  absent: [a.py, a.py]\n", ":2: python.absent[1]: a.py is listed twice"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CliApplyTest, DashReadsTheProfileFromStandardInputWithFileNamesFromTheCurrentFolder)
{
    const std::string relative = std::filesystem::relative(fleetPy).string();
    ASSERT_FALSE(relative.empty());
    CliSetting setting;
    setting.input = "settings:\n  mobile_simple/apn: fleet.example\npython:\n  present: [" + relative + "]\n";
    const CliRun run = Run({"apply", "-"}, setting);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "fleet.example");
    EXPECT_EQ(device.GetFile("/WEB/python/fleet.py"), "print('staged')\n");

    setting.input = "settings:\n  mobile_simple/apn: x\n  mobile_simple/apn: y\n";
    device.ClearReceivedCommands();
    const CliRun refused = Run({"apply", "-"}, setting);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err.rfind("tervane-q7: (standard input):3: settings.mobile_simple/apn: is given twice", 0), 0u)
        << refused.err;
    EXPECT_FALSE(AnythingWritten(device.UploadCount()));
}

struct FirmwareCase {
    const char* name;
    const char* version;
    int status;
    bool installs;
};

void PrintTo(const FirmwareCase& row, std::ostream* out)
{
    *out << row.name;
}

class ApplyFirmware : public CliApplyTest, public ::testing::WithParamInterface<FirmwareCase> {};

TEST_P(ApplyFirmware, OnlyADifferentVersionIsInstalled)
{
    LocalFile("q7.bin", Pattern(3000));
    const std::string profile = Profile(std::string("firmware:\n  version: ") + GetParam().version + "\n  image: q7.bin\n");
    const CliRun run = Run({"--json", "apply", profile});
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_EQ(Received("at&usbinterface=110"), GetParam().installs);
    EXPECT_EQ(device.UploadCount(), GetParam().installs ? 1 : 0);
    const QJsonObject json = ParseJson(run.out);
    EXPECT_EQ(json["firmwareVersionBefore"].toString(), "2.4.1.7");
    EXPECT_EQ(json["firmwareVersion"].toString(), GetParam().installs ? "2.5.0.3" : "2.4.1.7");
}

INSTANTIATE_TEST_SUITE_P(Versions, ApplyFirmware,
    ::testing::Values(FirmwareCase{"same_version_skipped", "2.4.1.7", 0, false},
        FirmwareCase{"other_version_installed", "2.5.0.3", 0, true},
        FirmwareCase{"image_gives_another_version", "2.6.0.0", 1, true}),
    [](const auto& row) { return std::string(row.param.name); });

// A version without an image (as capture writes one) is checked, never installed: the same
// version passes, another one refuses the device before anything is sent.
TEST_F(CliApplyTest, AVersionWithoutAnImageIsOnlyChecked)
{
    const std::string same = Profile("firmware: {version: 2.4.1.7}\nsettings:\n  mobile_simple/apn: fleet.example\n");
    ASSERT_EQ(Run({"apply", same}).status, 0);
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "fleet.example");

    const std::string other = LocalFile("other.yaml", "firmware: {version: 2.5.0.3}\nsettings:\n  system/contact: x\n");
    device.ClearReceivedCommands();
    const CliRun run = Run({"apply", other});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(
                  other + ":1: firmware: the device reports 2.4.1.7; the profile wants 2.5.0.3 and names no image"),
        std::string::npos)
        << run.err;
    EXPECT_FALSE(AnythingWritten(0));
}

TEST_F(CliApplyTest, RecordAppendsOneLinePerRunAndNeverRewrites)
{
    const std::string profile = Profile("settings:\n  mobile_simple/apn: fleet.example\n");
    const std::string record = dir + "/inventory.csv";
    ASSERT_EQ(Run({"--record", record, "apply", profile}).status, 0);
    const std::string first = ReadWholeFile(record);
    ASSERT_EQ(Run({"--record", record, "apply", profile}).status, 0);
    const std::string second = ReadWholeFile(record);

    EXPECT_EQ(second.rfind(first, 0), 0u) << "earlier lines stay as they were";
    const std::vector<std::string> lines = Lines(second);
    ASSERT_EQ(lines.size(), 3u) << second;
    EXPECT_EQ(lines[0],
        "time,port,usb_serial,by_id_path,imei,iccid,imsi,product,firmware_before,firmware_after,radio_firmware,"
        "profile_digest,changed,result,changes,error\r");
    EXPECT_NE(lines[1].find(",356938035643809,89012601234567890128,310260123456789,"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(",true,done,1,\r"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(",false,done,0,\r"), std::string::npos) << lines[2];
}

// --check as cron and CI use it: 0 while the gateway holds the profile, 4 once it drifted,
// and a failure keeps its own status and names itself in the record.
TEST_F(CliApplyTest, CheckSaysDriftByItsStatusAndTheRecordCountsIt)
{
    const std::string profile = Profile("settings:\n  mobile_simple/apn: fleet.example\n");
    const std::string record = dir + "/inventory.csv";
    EXPECT_EQ(Run({"--check", "--record", record, "apply", profile}).status, 4);
    ASSERT_EQ(Run({"apply", profile}).status, 0);
    EXPECT_EQ(Run({"--check", "--record", record, "apply", profile}).status, 0);
    device.ChangeFaults([](sim::Faults& faults) { faults.errorFor.push_back("set_setting"); });
    const std::string other = LocalFile("other.yaml", "settings:\n  mobile_simple/apn: other.example\n");
    EXPECT_EQ(Run({"--record", record, "apply", other}).status, 1);

    const std::vector<std::string> lines = Lines(ReadWholeFile(record));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[1].find(",false,differs,1,\r"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(",false,checked,0,\r"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find(",failed,0,mobile_simple/apn: the device refused"), std::string::npos) << lines[3];
}

// The record holds the gateway's identity and the run's outcome, never a value the profile
// sets: no PIN, password or key reaches the file.
TEST_F(CliApplyTest, RecordNeverHoldsASecret)
{
    const std::string profile = Profile("settings:\n"
                                        "  mobile_simple/password: hunter2\n"
                                        "  mobile_simple/pin: 4711\n");
    const std::string record = dir + "/secrets.csv";
    const CliRun run = Run({"--record", record, "apply", profile});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(device.Setting("mobile_simple/pin"), "4711");
    const std::string written = ReadWholeFile(record);
    EXPECT_NE(written.find(",true,done,"), std::string::npos) << written;
    EXPECT_EQ(written.find("hunter2"), std::string::npos) << written;
    EXPECT_EQ(written.find("4711"), std::string::npos) << written;
}

} // namespace
} // namespace tervane::test
