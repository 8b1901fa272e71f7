// The tool against a device that misbehaves on purpose: it never chooses what is written on
// the PC, never replaces a good file with bad bytes, and never drives the terminal.

#include "CliSimFixture.h"

#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace tervane::test {
namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The reply to the file request names another file; its bytes are still the asked file's,
// so the digest matches and only the name tells.
struct OtherFile {
    const char* label;
    const char* name;  // what the reply's get_file names
};

void PrintTo(const OtherFile& row, std::ostream* out)
{
    *out << row.label;
}

class CliOtherFileTest : public CliSimTest, public ::testing::WithParamInterface<OtherFile> {};

TEST_P(CliOtherFileTest, IsAFailedDownloadAndWritesNothing)
{
    sim::Faults faults;
    faults.fileReplyName = GetParam().name;
    device.SetFaults(faults);

    const CliRun run = Run({"python", "get", "main.py", dir});

    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("the device sent "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" instead of /WEB/python/main.py."), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "nothing was written, under any name";
}

INSTANTIATE_TEST_SUITE_P(Names, CliOtherFileTest,
    ::testing::Values(OtherFile{"hidden", "/WEB/python/.bashrc"}, OtherFile{"sshKeys", "/WEB/python/authorized_keys"},
        OtherFile{"withoutItsFolder", "main.py"}, OtherFile{"throughDotDot", "/WEB/python/../main.py"}),
    [](const ::testing::TestParamInfo<OtherFile>& row) { return std::string(row.param.label); });

TEST_F(CliSimTest, PythonGetWithAShortReplyKeepsTheGoodCopy)
{
    const std::string target = LocalFile("main.py", "the good copy\n");
    sim::Faults faults;
    faults.shortFileData = true;
    device.SetFaults(faults);

    const CliRun run = Run({"--json", "python", "get", "main.py", target});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadWholeFile(target), "the good copy\n");
    const std::string kept = target + ".unverified";
    const std::string full = *device.GetFile("/WEB/python/main.py");
    const std::string half = ReadWholeFile(kept);
    EXPECT_FALSE(half.empty());
    EXPECT_LT(half.size(), full.size());
    EXPECT_EQ(half, full.substr(0, half.size()));
    const QJsonObject result = ParseJson(run.out);
    EXPECT_FALSE(result["verified"].toBool(true));
    EXPECT_EQ(result["unverifiedPath"].toString().toStdString(), kept);
    EXPECT_EQ(result["savedPath"].toString(), "");
}

TEST_F(CliSimTest, PythonGetToALongNameThatIsStillLegal)
{
    const std::string target = dir + "/" + std::string(253, 'n');
    const CliRun run = Run({"python", "get", "main.py", target});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(target), *device.GetFile("/WEB/python/main.py"));
    EXPECT_EQ(ModeOf(target), 0600u);
}

TEST_F(CliSimTest, BackupIsReadableByItsOwnerAloneAndAnExistingOneKeepsItsMode)
{
    const std::string fresh = dir + "/new.cfg";
    ASSERT_EQ(Run({"backup", fresh}).status, 0);
    EXPECT_EQ(ModeOf(fresh), 0600u);

    const std::string shared = LocalFile("shared.cfg", "old");
    ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
    ASSERT_EQ(Run({"backup", shared}).status, 0);
    EXPECT_EQ(ModeOf(shared), 0640u);
    EXPECT_NE(ReadWholeFile(shared).find("<set_setting>"), std::string::npos);
}

TEST_F(CliSimTest, BackupThroughALinkKeepsTheLink)
{
    const std::string real = LocalFile("real.cfg", "old");
    const std::string link = dir + "/link.cfg";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);

    const CliRun run = Run({"backup", link});

    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ReadWholeFile(real).find("<set_setting>"), std::string::npos);
}

struct RefusedWrite {
    const char* name;
    std::vector<std::string> args;  // "@" stands for a link to /dev/null in the test's folder
    std::string path;               // as the failure line names it
};

void PrintTo(const RefusedWrite& row, std::ostream* out)
{
    *out << row.name;
}

class CliRefusedWriteTest : public CliSimTest, public ::testing::WithParamInterface<RefusedWrite> {};

// A device node (or a link to one) is never swapped for a regular file, and is refused
// before the device is asked anything.
TEST_P(CliRefusedWriteTest, IsAUsageErrorAndSendsNothing)
{
    const std::string link = dir + "/null-link";
    ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
    std::vector<std::string> args = GetParam().args;
    for (std::string& arg : args) {
        if (arg == "@")
            arg = link;
    }
    const std::string path = GetParam().path == "@" ? link : GetParam().path;

    const CliRun run = Run(args);

    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Lines(run.err).front(), "tervane-q7: cannot write " + path + ": it is a device, not a regular file");
    EXPECT_TRUE(device.ReceivedCommands().empty());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

INSTANTIATE_TEST_SUITE_P(Targets, CliRefusedWriteTest,
    ::testing::Values(RefusedWrite{"backupToDevNull", {"backup", "/dev/null"}, "/dev/null"},
        RefusedWrite{"backupToALinkToDevNull", {"backup", "@"}, "@"},
        RefusedWrite{"getToDevNull", {"python", "get", "main.py", "/dev/null"}, "/dev/null"},
        RefusedWrite{"getToALinkToDevNull", {"python", "get", "main.py", "@"}, "@"}),
    [](const ::testing::TestParamInfo<RefusedWrite>& row) { return std::string(row.param.name); });

// A listing whose reply is not a document is no list: no subcommand takes it for an empty folder.
struct UnreadableListing {
    const char* name;
    std::vector<std::string> args;
    std::string failure;
};

class CliUnreadableListingTest : public CliSimTest, public ::testing::WithParamInterface<UnreadableListing> { };

TEST_P(CliUnreadableListingTest, FailsTheSubcommand)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.brokenListing = true; });
    std::vector<std::string> args = GetParam().args;
    for (std::string& arg : args) {
        if (arg == "DIR")
            arg = dir;
    }

    const CliRun run = Run(args);

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.err).back(), "tervane-q7: " + GetParam().failure) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Subcommands, CliUnreadableListingTest,
    ::testing::Values(UnreadableListing {"ls", {"python", "ls"}, "the device did not list its Python files"},
        UnreadableListing {"get", {"python", "get", "main.py", "DIR"}, "the device did not list its Python files"},
        UnreadableListing {"rm", {"python", "rm", "main.py"}, "the device did not list its Python files"}),
    [](const ::testing::TestParamInfo<UnreadableListing>& row) { return std::string(row.param.name); });

TEST_F(CliSimTest, InfoShowsTheDevicesTerminalEscapesEscaped)
{
    sim::Faults faults;
    faults.modemEscapes = true;
    device.SetFaults(faults);

    const CliRun run = Run({"info"});

    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x07'), std::string::npos) << run.out;
    const auto lines = Lines(run.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Modem Type:           WAVECOM MODEM\\x1b]0;owned\\x07\\x1b[2J"),
        lines.end())
        << run.out;
}

TEST_F(CliSimTest, InfoOnAStateThatDoesNotParse)
{
    sim::Faults faults;
    faults.brokenState = true;
    device.SetFaults(faults);

    const CliRun run = Run({"--json", "info"});

    EXPECT_EQ(run.status, 1);
    const QJsonObject info = ParseJson(run.out);
    EXPECT_FALSE(info["ok"].toBool(true));
    EXPECT_FALSE(info["stateRead"].toBool(true));
    EXPECT_TRUE(info["linkUp"].isNull()) << "unknown without the state";
    EXPECT_TRUE(info["mobileIpAddress"].isNull());
    EXPECT_EQ(info["imei"].toString(), "356938035643809") << "the modem's own facts are still shown";
    EXPECT_EQ(Lines(run.err).front(), "tervane-q7: the device's state could not be read");

    const std::string log = dir + "/broken-state.log";
    const CliRun text = Run({"--log", log, "info"});
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.out.find("(no link)"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("(link up)"), std::string::npos) << text.out;
    const std::string logged = ReadWholeFile(log);
    EXPECT_NE(logged.find("NOTE:\r\n"), std::string::npos) << logged;
    EXPECT_NE(logged.find("The device's answer to the state query could not be read: "), std::string::npos) << logged;
}

// A file reply the tool cannot take names why, after the failure's own words.
struct RefusedReply {
    const char* name;
    std::string reply;
    const char* reason;
};

void PrintTo(const RefusedReply& row, std::ostream* out)
{
    *out << row.name;
}

class CliRefusedReplyTest : public CliSimTest, public ::testing::WithParamInterface<RefusedReply> { };

TEST_P(CliRefusedReplyTest, NamesTheReason)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.fileReply = GetParam().reply; });
    const CliRun run = Run({"--retries", "0", "python", "get", "main.py", dir});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.err).front(), std::string("tervane-q7: File download failed. ") + GetParam().reason);
    EXPECT_FALSE(std::filesystem::exists(dir + "/main.py"));
}

std::string ManyAttributes()
{
    std::string attributes;
    for (int i = 0; i < 40; ++i)
        attributes += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    return attributes;
}

INSTANTIATE_TEST_SUITE_P(Replies, CliRefusedReplyTest,
    ::testing::Values(
        RefusedReply {"malformed",
            "<rci_reply><do_command target=\"file_system\"><get_file name=\"/WEB/python/main.py\">"
            "<data>QUJD</dta></get_file></do_command></rci_reply>",
            "The device's reply was refused: line 1: Opening and ending tag mismatch: data line 1 and dta."},
        RefusedReply {"attributeLimit",
            "<rci_reply" + ManyAttributes() +
                "><do_command target=\"file_system\"><get_file "
                "name=\"/WEB/python/main.py\"><data>QUJD</data></get_file></do_command></rci_reply>",
            "The device's reply was refused: an element holds more than 32 attributes."},
        RefusedReply {"noFile",
            "<rci_reply><do_command target=\"file_system\"><get_file "
            "name=\"/WEB/python/main.py\"/></do_command></rci_reply>",
            "The device's reply holds no file."}),
    [](const ::testing::TestParamInfo<RefusedReply>& row) { return std::string(row.param.name); });

// A device that goes away during a transfer and does not come back: the link's one give-up
// ends the subcommand (no retry waits for it again) and the failure says so.
struct VanishCase {
    const char* name;
    std::vector<std::string> args; // DIR stands for the scratch folder, FILE for a local file
    const char* trigger;           // the device goes once it has received this
    const char* failure;           // the first line's start
};

void PrintTo(const VanishCase& row, std::ostream* out)
{
    *out << row.name;
}

class CliVanishTest : public CliSimTest, public ::testing::WithParamInterface<VanishCase> { };

TEST_P(CliVanishTest, EndsAtTheLinksGiveUpNamingIt)
{
    const std::string local = LocalFile("vanish.py", "print('x')\n");
    std::vector<std::string> args = {"--retries", "3"};
    for (const auto& arg : GetParam().args)
        args.push_back(arg == "DIR" ? dir : arg == "FILE" ? local : arg);
    std::atomic<bool> watching {true};
    std::thread vanish([&] {
        while (watching && !Received(GetParam().trigger))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        device.Stop();
    });
    const CliRun run = Run(args);
    watching = false;
    vanish.join();

    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_FALSE(lines.empty());
    const std::string& failure = lines.back();
    EXPECT_EQ(failure.rfind(std::string("tervane-q7: ") + GetParam().failure, 0), 0u) << run.err;
    EXPECT_TRUE(failure.ends_with("The device on " + device.PortPath() + " went away and did not come back."))
        << run.err;
    // At most the one attempt that met the device gone; none after the link gave up.
    EXPECT_LE(std::ranges::count_if(lines,
                  [](const std::string& line) { return line.find("Trying again") != std::string::npos; }),
        1)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(Transfers, CliVanishTest,
    ::testing::Values(VanishCase {"get", {"python", "get", "main.py", "DIR"}, "get_file", "File download failed."},
        VanishCase {"put", {"python", "put", "FILE"}, "vanish.py", ""}),
    [](const ::testing::TestParamInfo<VanishCase>& row) { return std::string(row.param.name); });

// An echoing or endless modem: its identity answer never ends with a result code. That is
// the device's fault, named, not an identity.
TEST_F(CliSimTest, InfoOnAnUnendedIdentityAnswerNamesTheDevicesFault)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.unendedFor = {"AT+CGSN"}; });

    const CliRun run = Run({"--json", "info"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.err).front(), "tervane-q7: the device never ended its answer to AT+CGSN (the IMEI)");
    EXPECT_FALSE(ParseJson(run.out)["ok"].toBool(true));
}

// A device whose identity answers run on: text, JSON and the record hold their first line,
// at most 64 bytes and "…".
TEST(CliIdentity, LongAnswersAreTheirFirstLineBounded)
{
    sim::DeviceConfig config = FastRestarts();
    config.imei = std::string(5000, '3') + "\r\nAT+CGSN";
    config.imsi = std::string(100, '1');
    config.firmwareVersion = std::string(300, '2');
    sim::SimulatedQ7 device(config);
    FastClock clock(100);
    HoldDuringRestarts(clock, device);
    ASSERT_TRUE(device.Start());
    CliSetting setting;
    setting.clock = &clock;
    const std::string ellipsis = "\xE2\x80\xA6";

    const CliRun text = RunTool({"--port", device.PortPath(), "info"}, setting);
    ASSERT_EQ(text.status, 0) << text.err;
    const auto lines = Lines(text.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Serial Number (IMEI): " + std::string(64, '3') + ellipsis),
        lines.end())
        << text.out.substr(0, 2000);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "IMSI:                 " + std::string(64, '1') + ellipsis),
        lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Firmware Version:     " + std::string(64, '2') + ellipsis),
        lines.end());

    const CliRun json = RunTool({"--port", device.PortPath(), "--json", "info"}, setting);
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonObject info = ParseJson(json.out);
    EXPECT_EQ(info["imei"].toString().toStdString(), std::string(64, '3') + ellipsis);
    EXPECT_EQ(info["imsi"].toString().toStdString(), std::string(64, '1') + ellipsis);
    EXPECT_EQ(info["firmwareVersion"].toString().toStdString(), std::string(64, '2') + ellipsis);
    device.Stop();
}

} // namespace
} // namespace tervane::test
