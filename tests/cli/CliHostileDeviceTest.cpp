// The tool against a device that misbehaves on purpose: it never chooses what is written on
// the PC, never replaces a good file with bad bytes, and never drives the terminal.

#include "CliSimFixture.h"

#include <QJsonObject>

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

} // namespace
} // namespace tervane::test
