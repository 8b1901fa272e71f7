// One --json shape per subcommand: the same members in the same order whether the run
// worked or failed, and all of them described in the manual page.

#include "CliSimFixture.h"
#include "RunCli.h"
#include "Subcommands.h"
#include "UploadWorker.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tervane::test {
namespace {

// The top-level member names of a document as the tool writes it, in order: the lines
// indented by exactly two blanks.
std::vector<std::string> TopLevelMembers(const std::string& json)
{
    std::vector<std::string> names;
    for (const auto& line : Lines(json)) {
        if (line.rfind("  \"", 0) == 0) {
            const std::size_t end = line.find("\":", 3);
            if (end != std::string::npos)
                names.push_back(line.substr(3, end - 3));
        }
    }
    return names;
}

std::vector<std::string> ExpectedMembers(const std::string& command)
{
    std::vector<std::string> names(std::begin(kCommonJsonMembers), std::end(kCommonJsonMembers));
    for (const auto& subcommand : Subcommands()) {
        if (subcommand.FullName() == command) {
            for (const auto& member : subcommand.JsonMembers())
                names.push_back(member);
        }
    }
    names.push_back("errors");
    return names;
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// Operands that pass the command line's checks, so that the run gets as far as the device.
std::vector<std::string> Operands(const Subcommand& subcommand, const std::string& file)
{
    if (subcommand.minOperands == 0)
        return {};
    const std::string operands(subcommand.operands);
    if (operands.find("FILE") != std::string::npos)
        return {file};
    if (operands.find("PATH=VALUE") != std::string::npos)
        return {"mobile_simple/apn=fleet.example"};
    if (operands.find("COMMAND") != std::string::npos)
        return {"AT\\r\\n"};
    return {"main.py"};
}

class CliJsonShapeTest : public CliSimTest {};

// Without a device every subcommand fails, and still every member is there, null.
TEST_F(CliJsonShapeTest, AFailedRunHasEveryMemberNull)
{
    const std::string file = LocalFile("image.bin", std::string(300, 'x'));
    for (const auto& subcommand : Subcommands()) {
        const std::string name = subcommand.FullName();
        SCOPED_TRACE(name);
        std::vector<std::string> args = {"--json", "--yes", "--port", dir + "/no-such-port"};
        for (const auto& word : Words(name))
            args.push_back(word);
        for (const auto& operand : Operands(subcommand, file))
            args.push_back(operand);
        const CliRun run = RunTool(args, {});
        EXPECT_EQ(TopLevelMembers(run.out), ExpectedMembers(name)) << run.out;
        // Listing the attached gateways opens none of them: nothing fails without one.
        if (name == "devices")
            continue;
        // No device, or a file the command line's checks refuse: a failure either way.
        EXPECT_NE(run.status, kExitDone) << run.err;
        const QJsonObject document = ParseJson(run.out);
        for (const auto& member : subcommand.JsonMembers())
            EXPECT_TRUE(document[QString::fromStdString(member)].isNull()) << member;
        EXPECT_TRUE(document["port"].isNull());
        EXPECT_FALSE(document["errors"].toArray().isEmpty());
    }
}

TEST_F(CliJsonShapeTest, AUsageFailureWithoutASubcommandHasTheCommonMembers)
{
    const CliRun run = RunTool({"--json", "no-such-subcommand"}, {});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(TopLevelMembers(run.out), ExpectedMembers(""));
    EXPECT_TRUE(ParseJson(run.out)["command"].isNull());
}

struct WorkingRun {
    const char* name;
    std::vector<std::string> args;  // "FILE" stands for a local file, "DIR" for the scratch folder
};

void PrintTo(const WorkingRun& run, std::ostream* os)
{
    *os << run.name;
}

class CliJsonShapeWorks : public CliSimTest, public ::testing::WithParamInterface<WorkingRun> {};

// A run that worked has the very same members, none of them left out or added.
TEST_P(CliJsonShapeWorks, HasTheListedMembers)
{
    device.PutFile("/WEB/python/main.py", "print('hello')\n");
    const std::string file = LocalFile("sensor.py", "print(21.5)\n");
    std::vector<std::string> args = {"--json"};
    for (const auto& arg : GetParam().args)
        args.push_back(arg == "FILE" ? file : arg == "DIR" ? dir : arg);
    const CliRun run = Run(args);
    ASSERT_EQ(run.status, kExitDone) << run.err;
    const QJsonObject document = ParseJson(run.out);
    EXPECT_EQ(TopLevelMembers(run.out), ExpectedMembers(document["command"].toString().toStdString())) << run.out;
    EXPECT_FALSE(document["port"].isNull());
}

INSTANTIATE_TEST_SUITE_P(Subcommands, CliJsonShapeWorks,
    ::testing::Values(WorkingRun{"info", {"info"}},
        WorkingRun{"settingsGet", {"settings", "get", "mobile_simple/apn"}},
        WorkingRun{"backup", {"backup", "DIR"}},
        WorkingRun{"pythonLs", {"python", "ls"}},
        WorkingRun{"pythonPut", {"python", "put", "FILE"}},
        WorkingRun{"pythonGet", {"python", "get", "main.py", "DIR"}},
        WorkingRun{"send", {"send", "AT\\r\\n"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CliJsonShape, UploadsReportAStatusValueAndItsSentence)
{
    EXPECT_STREQ(UploadStatusName(UploadStatus::Completed), "completed");
    EXPECT_STREQ(UploadStatusName(UploadStatus::DataRejected), "dataRejected");
    EXPECT_STREQ(UploadStatusText(UploadStatus::Completed), "The file was uploaded.");
}

// The manual page's JSON OUTPUT section names every member of every subcommand.
TEST(CliJsonShape, TheManualPageDescribesEveryMember)
{
    std::ifstream page(TERVANE_Q7_MANUAL_PAGE);
    ASSERT_TRUE(page) << TERVANE_Q7_MANUAL_PAGE;
    std::stringstream whole;
    whole << page.rdbuf();
    std::string text = whole.str();
    const std::size_t start = text.find(".SH JSON OUTPUT");
    ASSERT_NE(start, std::string::npos);
    text = text.substr(start, text.find("\n.SH ", start + 1) - start);
    for (const auto& subcommand : Subcommands()) {
        for (const auto& member : subcommand.JsonMembers())
            EXPECT_NE(text.find(member), std::string::npos) << subcommand.FullName() << ": " << member;
    }
    for (const auto member : kCommonJsonMembers)
        EXPECT_NE(text.find(member), std::string::npos) << member;
}

// The members of the rows send writes are described in send's own entry of JSON OUTPUT.
TEST_F(CliJsonShapeTest, TheManualPageDescribesEveryMemberOfSendsRows)
{
    std::ifstream page(TERVANE_Q7_MANUAL_PAGE);
    ASSERT_TRUE(page) << TERVANE_Q7_MANUAL_PAGE;
    std::stringstream whole;
    whole << page.rdbuf();
    const std::string text = whole.str();
    const std::size_t section = text.find(".SH JSON OUTPUT");
    ASSERT_NE(section, std::string::npos);
    const std::size_t start = text.find("\n.B send\n", section);
    ASSERT_NE(start, std::string::npos);
    const std::string entry = text.substr(start, text.find("\n.P", start + 1) - start);

    const CliRun run = Run({"--json", "send", "AT\\r\\n"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    const QJsonArray rows = ParseJson(run.out)["commands"].toArray();
    ASSERT_FALSE(rows.isEmpty()) << run.out;
    for (const auto& member : rows[0].toObject().keys())
        EXPECT_NE(entry.find(member.toStdString()), std::string::npos) << member.toStdString();
}

} // namespace
} // namespace tervane::test
