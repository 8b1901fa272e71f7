// backup, restore, reboot, factory-reset, firmware, radio-firmware and the python
// subcommands against the simulated device.

#include "CliSimFixture.h"

#include <QJsonArray>
#include <QJsonObject>

#include <chrono>
#include <filesystem>
#include <thread>

namespace tervane::test {
namespace {

bool WaitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

TEST_F(CliSimTest, BackupThenRestore)
{
    const std::string backup = dir + "/q7.cfg";
    const CliRun saved = Run({"backup", backup});
    ASSERT_EQ(saved.status, 0) << saved.err;
    const std::string file = ReadWholeFile(backup);
    EXPECT_NE(file.find("<rci_request"), std::string::npos);
    EXPECT_NE(file.find("<set_setting>"), std::string::npos);
    EXPECT_NE(file.find("<apn>internet.tervane</apn>"), std::string::npos);

    ASSERT_TRUE(device.SetSetting("mobile_simple/apn", "changed.example"));
    const int restarts = device.RestartCount();
    const CliRun restored = Run({"--json", "restore", backup});
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "internet.tervane");
    EXPECT_TRUE(ParseJson(restored.out)["settingsRead"].toBool());
    EXPECT_TRUE(WaitFor([&] { return device.RestartCount() > restarts; })) << "the restore restarts the device";
}

TEST_F(CliSimTest, BackupIntoAFolderUsesTheProposedName)
{
    const CliRun run = Run({"backup", dir});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadWholeFile(dir + "/backup.cfg").find("<set_setting>"), std::string::npos);
}

// A settings payload longer than the answer buffer comes back echoed and refused: the
// refusal at the end of the overlong answer still counts.
TEST_F(CliSimTest, RestoreOfALargeFileTheDeviceRefusesFails)
{
    const std::string backup = dir + "/large.cfg";
    ASSERT_EQ(Run({"backup", backup}).status, 0);
    std::string text = ReadWholeFile(backup);
    const std::string apn = "<apn>internet.tervane</apn>";
    const auto at = text.find(apn);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, apn.size(), "<apn>" + std::string(150000, 'x') + "</apn>");
    ASSERT_TRUE(WriteWholeFile(backup, text));
    device.ChangeFaults([](sim::Faults& faults) { faults.errorFor = {"<set_setting"}; });

    const CliRun run = Run({"restore", backup});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out.find("Restored"), std::string::npos);
    EXPECT_NE(run.err.find("the device refused the settings in " + backup), std::string::npos) << run.err;
}

TEST_F(CliSimTest, RestoreOfAFileThatIsNoConfigurationSendsNothing)
{
    struct Case {
        const char* name;
        const char* text;
    };
    // Not well-formed, or well-formed but not a settings request: nothing reaches the device.
    const Case cases[] = {
        {"broken", "<rci_request><set_setting>"},
        {"html", "<html><body><p>not settings</p></body></html>"},
        {"state backup", "<rci_request><query_state><device_info/></query_state></rci_request>"},
        {"reply", "<rci_reply><set_setting><mobile_simple/></set_setting></rci_reply>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = LocalFile("broken.cfg", c.text);
        const CliRun run = Run({"restore", path});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_EQ(run.err.rfind("tervane-q7: The configuration file " + path + " could not be read: ", 0), 0u)
            << run.err;
        EXPECT_FALSE(Received("at&usbinterface=22"));
    }
}

// A device answering the settings query with another document gave no settings to keep.
TEST_F(CliSimTest, BackupOfAnAnswerThatIsNotTheSettingsWritesNothing)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.stateForSettings = true; });
    const std::string backup = dir + "/q7.cfg";
    const CliRun run = Run({"backup", backup});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tervane-q7: There are no device settings to back up. Read the settings from the device first.\n");
    EXPECT_FALSE(std::filesystem::exists(backup));
}

TEST_F(CliSimTest, Reboot)
{
    const int restarts = device.RestartCount();
    const CliRun run = Run({"reboot"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Received("at+CFUN=1"));
    EXPECT_TRUE(WaitFor([&] { return device.RestartCount() > restarts; }));
}

struct ResetCase {
    const char* name;
    bool yes;
    bool terminal;
    const char* answer;
    int status;
};

// Test names say which row it is; the bytes of the row say nothing.
void PrintTo(const ResetCase& row, std::ostream* out)
{
    *out << row.name;
}

class CliFactoryResetTest : public CliSimTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(CliFactoryResetTest, AsksFirst)
{
    ASSERT_TRUE(device.SetSetting("mobile_simple/apn", "custom.example"));
    CliSetting setting;
    setting.inputIsTerminal = GetParam().terminal;
    setting.input = GetParam().answer;
    std::vector<std::string> args{"factory-reset"};
    if (GetParam().yes)
        args.push_back("--yes");
    const CliRun run = Run(args, setting);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    const bool reset = GetParam().status == 0;
    EXPECT_EQ(Received("set_factory_default"), reset);
    EXPECT_EQ(device.Setting("mobile_simple/apn"), reset ? "internet.tervane" : "custom.example");
    EXPECT_EQ(run.err.find("[y/N]") != std::string::npos, GetParam().terminal && !GetParam().yes);
}

INSTANTIATE_TEST_SUITE_P(Answers, CliFactoryResetTest,
    ::testing::Values(ResetCase{"yesOption", true, false, "", 0},
        ResetCase{"noTerminalRefused", false, false, "y\n", 2},
        ResetCase{"answeredYes", false, true, "Yes\n", 0},
        ResetCase{"answeredNo", false, true, "n\n", 2},
        ResetCase{"inputEnded", false, true, "", 2}),
    [](const ::testing::TestParamInfo<ResetCase>& row) { return std::string(row.param.name); });

TEST_F(CliSimTest, FirmwareAcrossTheRestart)
{
    const std::string image = LocalFile("q7-2.5.0.3.bin", Pattern(6000));
    const int restarts = device.RestartCount();
    const CliRun run = Run({"--json", "firmware", image});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(device.GetFile("/fw/updatefw.dwl"), Pattern(6000));
    EXPECT_GT(device.RestartCount(), restarts);
    EXPECT_EQ(device.FirmwareVersion(), "2.5.0.3");

    const QJsonObject result = ParseJson(run.out);
    EXPECT_TRUE(result["installed"].toBool());
    EXPECT_EQ(result["firmwareVersion"].toString(), "2.5.0.3") << "read from the device after its restart";
    EXPECT_EQ(result["uploads"].toInt(), 1);
}

TEST_F(CliSimTest, FirmwareRetriesABadTransferAsOftenAsAllowed)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.corruptUploads = true; });
    const std::string image = LocalFile("image.bin", Pattern(3000));
    const CliRun run = Run({"--retries", "1", "--json", "firmware", image});
    EXPECT_EQ(run.status, 1);
    const QJsonObject result = ParseJson(run.out);
    EXPECT_EQ(result["uploads"].toInt(), 2);
    EXPECT_FALSE(result["installed"].toBool(true));
    EXPECT_EQ(device.FirmwareVersion(), "2.4.1.7");
    EXPECT_FALSE(Received("at&usbinterface=110"));
    const auto lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 2u) << run.err;
    EXPECT_EQ(lines[0].rfind("tervane-q7: File upload failed.  MD5 sum should have been ", 0), 0u);
    EXPECT_NE(lines[0].find("Trying again (1 of 1)."), std::string::npos);
    EXPECT_NE(lines[1].find("Gave up after 1 retries."), std::string::npos);
}

TEST_F(CliSimTest, RadioFirmware)
{
    const std::string image = LocalFile("ravlo.ebl", Pattern(2500));
    const CliRun run = Run({"--json", "radio-firmware", image});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(device.GetFile("/WEB/mesh/ravlo.ebl"), Pattern(2500));
    const QJsonObject result = ParseJson(run.out);
    EXPECT_TRUE(result["flashed"].toBool());
    EXPECT_EQ(result["radioFirmwareVersion"].toString(), "0x2270");
}

TEST_F(CliSimTest, RadioFirmwareRefusedInTheReply)
{
    // The device answers OK, but its reply says the image is no image.
    const std::string image = LocalFile("blank.ebl", "");
    const CliRun run = Run({"radio-firmware", image});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
        "tervane-q7: the device refused to flash the Ravlo radio with blank.ebl: Invalid firmware image: "
        "/WEB/mesh/blank.ebl\n");
}

TEST_F(CliSimTest, PythonPutListGetRemove)
{
    const std::string script = "print('hello from the Q7')\n";
    const CliRun put = Run({"python", "put", LocalFile("hello.py", script)});
    ASSERT_EQ(put.status, 0) << put.err;
    EXPECT_EQ(device.GetFile("/WEB/python/hello.py"), script);

    const CliRun list = Run({"--json", "python", "ls"});
    ASSERT_EQ(list.status, 0) << list.err;
    bool listed = false;
    for (const auto& file : ParseJson(list.out)["files"].toArray()) {
        if (file.toObject()["name"].toString() == "hello.py") {
            listed = true;
            EXPECT_EQ(file.toObject()["size"].toInt(), static_cast<int>(script.size()));
        }
    }
    EXPECT_TRUE(listed) << list.out;

    const std::string copy = dir + "/copy.py";
    const CliRun get = Run({"python", "get", "hello.py", copy});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(ReadWholeFile(copy), script);

    const CliRun rm = Run({"--json", "python", "rm", "hello.py", "main.py"});
    ASSERT_EQ(rm.status, 0) << rm.err;
    EXPECT_FALSE(device.HasFile("/WEB/python/hello.py"));
    EXPECT_FALSE(device.HasFile("/WEB/python/main.py"));
    const QJsonObject removed = ParseJson(rm.out);
    EXPECT_EQ(removed["deleted"].toArray().size(), 2);
    for (const auto& file : removed["files"].toArray())
        EXPECT_NE(file.toObject()["name"].toString(), "hello.py");
}

TEST_F(CliSimTest, PythonGetOfALargeFile)
{
    // Larger than the batch's base receive room of 100000 bytes, in Base64 larger still.
    const std::string bytes = Pattern(180000, 3);
    device.PutFile("/WEB/python/logger.py", bytes);
    const CliRun run = Run({"--json", "python", "get", "logger.py", dir});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(dir + "/logger.py"), bytes);
    const QJsonObject result = ParseJson(run.out);
    EXPECT_TRUE(result["verified"].toBool());
    EXPECT_EQ(result["size"].toInt(), 180000);
    EXPECT_EQ(result["savedPath"].toString().toStdString(), dir + "/logger.py");
}

// The listing's size is the device's word; the line says what was written.
TEST_F(CliSimTest, PythonGetReportsTheBytesWrittenNotTheListedSize)
{
    device.PutFile("/WEB/python/small.py", "print('small')\n");
    device.ChangeFaults([](sim::Faults& faults) { faults.listedSize = "20000000000"; });
    const CliRun run = Run({"python", "get", "small.py", dir});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Downloaded small.py to " + dir + "/small.py (15 bytes), digest verified.\n");
}

struct PythonFailure {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* error;
};

// Test names say which row it is; the bytes of the row say nothing.
void PrintTo(const PythonFailure& row, std::ostream* out)
{
    *out << row.name;
}

class CliPythonFailureTest : public CliSimTest, public ::testing::WithParamInterface<PythonFailure> {};

TEST_P(CliPythonFailureTest, NamesWhatFailed)
{
    const CliRun run = Run(GetParam().args);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(Lines(run.err).front(), GetParam().error);
}

// A device that answers the removal of a file it does not hold as done: the name is not
// reported deleted, and nothing is removed when one of several names is not there.
TEST_F(CliSimTest, PythonRmOfAnUnlistedNameFailsNamingIt)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.quietRemoval = true; });
    const CliRun run = Run({"--json", "python", "rm", "main.py", "absent.py"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.err).front(), "tervane-q7: the device has no Python file absent.py");
    EXPECT_FALSE(Received("<rm "));
    EXPECT_TRUE(device.HasFile("/WEB/python/main.py"));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliPythonFailureTest,
    ::testing::Values(
        PythonFailure{"getMissing", {"python", "get", "absent.py", "/tmp"}, 1,
            "tervane-q7: the device has no Python file absent.py"},
        PythonFailure{"rmMissing", {"python", "rm", "absent.py"}, 1,
            "tervane-q7: the device has no Python file absent.py"},
        PythonFailure{"getUnsafeName", {"python", "get", "../etc/passwd"}, 2,
            "tervane-q7: '../etc/passwd' cannot be a file name on the device"},
        PythonFailure{"getIntoMissingFolder", {"python", "get", "main.py", "/nonexistent/x.py"}, 2,
            "tervane-q7: cannot write /nonexistent/x.py: /nonexistent: No such file or directory"},
        PythonFailure{"putMissingFile", {"python", "put", "/nonexistent/x.py"}, 2,
            "tervane-q7: cannot read /nonexistent/x.py: No such file or directory"}),
    [](const ::testing::TestParamInfo<PythonFailure>& row) { return std::string(row.param.name); });

TEST_F(CliSimTest, PythonPutOfANameTheDeviceCannotCarry)
{
    const CliRun run = Run({"python", "put", LocalFile("my script.py", "x")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Lines(run.err).front().rfind("tervane-q7: the file's name cannot be used on the device: ", 0), 0u);
    EXPECT_EQ(device.UploadCount(), 0);
}

} // namespace
} // namespace tervane::test
