// Backup, restore, reboot and factory defaults against the simulated device.
#include "ConfigBackup.h"
#include "DeviceReset.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SettingsPayload.h"
#include "SimProcedureTest.h"

#include <libxml/tree.h>

namespace tervane::test {
namespace {

class UtilitiesTest : public SimProcedureTest {
protected:
    void Read(std::string_view request, bool settings)
    {
        CommandBatch batch;
        USBCommand query;
        query.command = std::string(request);
        query.timeout = 5000;
        batch.AddTail(query);
        runner.RunBatch(batch);
        if (settings)
            documents.ParseSettings(batch.GetHead()->response);
        else
            documents.ParseState(batch.GetHead()->response);
    }
    void ReadSettings()
    {
        Read(kQuerySettingsRequest, true);
        ASSERT_NE(documents.SettingsRoot(), nullptr);
    }
};

TEST_F(UtilitiesTest, BackupThenRestoreSendsTheSameSettings)
{
    ReadSettings();
    const std::optional<std::string> payload = PrepareSettingsPayload(documents.SettingsDocument());
    ASSERT_TRUE(payload);
    const std::string backup = dir + "/backup.cfg";
    questions.savePaths = {backup};

    const BackupResult saved = BackupConfig(documents, questions);

    EXPECT_EQ(saved.outcome, BackupOutcome::Written);
    ASSERT_EQ(questions.saveChoices.size(), 1u);
    EXPECT_EQ(questions.saveChoices[0].initialName, "backup.cfg");
    EXPECT_EQ(questions.saveChoices[0].defaultExtension, "cfg");
    EXPECT_EQ(questions.saveChoices[0].filter, "*.cfg");
    // The file holds what xmlSaveFile writes for the document.
    const std::string reference = dir + "/reference.cfg";
    ASSERT_GT(xmlSaveFile(reference.c_str(), documents.SettingsDocument()), 0);
    EXPECT_EQ(ReadWholeFile(backup), ReadWholeFile(reference));

    device.ClearReceivedCommands();
    const RestoreResult restored = RestoreConfig(backup, documents, runner, questions);

    EXPECT_EQ(restored.outcome, RestoreOutcome::Sent);
    EXPECT_TRUE(restored.settingsRead);
    const auto commands = device.ReceivedCommands();
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0], "at&usbinterface=22");
    EXPECT_EQ(commands[1], *payload);
    EXPECT_EQ(commands[2], "at+CFUN=1");
    EXPECT_NE(commands[3].find("<query_setting></query_setting>"), std::string::npos);
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_EQ(questions.events.back(), "documents");
}

// A configuration file saved in UTF-16 reaches the device in UTF-8: the line carries no
// NUL bytes, and the device reads the value as written.
TEST_F(UtilitiesTest, RestoreOfAUtf16FileSendsUtf8)
{
    const std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<rci_request version=\"1.1\">"
                                u"<set_setting><mobile_simple><apn>caf\u00e9.example</apn></mobile_simple>"
                                u"</set_setting></rci_request>\n";
    std::string bytes = "\xff\xfe";
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xff));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    const std::string path = LocalFile("utf16.cfg", bytes);

    const RestoreResult result = RestoreConfig(path, documents, runner, questions);

    EXPECT_EQ(result.outcome, RestoreOutcome::Sent);
    EXPECT_TRUE(questions.asked.empty());
    const auto commands = device.ReceivedCommands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[1].find('\0'), std::string::npos);
    EXPECT_EQ(commands[1].rfind("<?xml version=\"1.0\" encoding='UTF-8'?>", 0), 0u) << commands[1];
    EXPECT_EQ(device.Setting("mobile_simple/apn"), "caf\xc3\xa9.example");
}

TEST_F(UtilitiesTest, BackupReplacesAnEarlierOneWhole)
{
    ReadSettings();
    const std::string backup = dir + "/backup.cfg";
    ASSERT_TRUE(WriteWholeFile(backup, std::string(200000, 'x')));
    questions.savePaths = {backup};

    EXPECT_EQ(BackupConfig(documents, questions).outcome, BackupOutcome::Written);

    const XmlDocument written = ReadUntrustedXmlFile(backup);
    ASSERT_TRUE(written);
    EXPECT_STREQ(reinterpret_cast<const char*>(xmlDocGetRootElement(written.get())->name), "rci_request");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(UtilitiesTest, BackupThatCannotBeWrittenIsReported)
{
    ReadSettings();
    const std::string backup = dir + "/no-such-folder/backup.cfg";
    questions.savePaths = {backup};

    const BackupResult result = BackupConfig(documents, questions);

    EXPECT_EQ(result.outcome, BackupOutcome::WriteFailed);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].kind, QuestionKind::Error);
    EXPECT_EQ(questions.asked[0].caption, "Error");
    EXPECT_EQ(questions.asked[0].text, "Unable to write the backup file " + backup + ": No such file or directory.");
}

TEST_F(UtilitiesTest, BackupWithoutSettingsIsReportedBeforeAskingWhere)
{
    const BackupResult result = BackupConfig(documents, questions);

    EXPECT_EQ(result.outcome, BackupOutcome::NoSettings);
    EXPECT_TRUE(questions.saveChoices.empty());
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].text, std::string(kNoSettingsToBackUpText));
}

struct RejectedFile {
    const char* name;
    std::optional<std::string> content;  // none: the file does not exist
};

class RestoreRejects : public UtilitiesTest, public ::testing::WithParamInterface<RejectedFile> {};

TEST_P(RestoreRejects, FileThatIsNotWellFormedXml)
{
    const std::string path = dir + "/restore.cfg";
    if (GetParam().content) {
        ASSERT_TRUE(WriteWholeFile(path, *GetParam().content));
    }

    const RestoreResult result = RestoreConfig(path, documents, runner, questions);

    EXPECT_EQ(result.outcome, RestoreOutcome::FileRejected);
    EXPECT_FALSE(result.reason.empty());
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].caption, "Error");
    EXPECT_EQ(questions.asked[0].text, "The configuration file " + path + " could not be read: " + result.reason + ".");
    EXPECT_TRUE(device.ReceivedCommands().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, RestoreRejects,
    ::testing::Values(RejectedFile{"Truncated", "<?xml version=\"1.0\"?>\n<rci_request><set_setting><serial>"},
        RejectedFile{"PlainText", "baud=115200\n"}, RejectedFile{"Empty", ""},
        RejectedFile{"WithDoctype", "<!DOCTYPE r [<!ENTITY e 'x'>]><rci_request>&e;</rci_request>"},
        RejectedFile{"Missing", std::nullopt},
        RejectedFile{"Html", "<html><body><p>settings</p></body></html>"},
        RejectedFile{"StateRequest", "<rci_request><query_state/></rci_request>"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(UtilitiesTest, RestoreWithoutAPathAsksForOne)
{
    const RestoreResult result = RestoreConfig("", documents, runner, questions);

    EXPECT_EQ(result.outcome, RestoreOutcome::NoFile);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].caption, "Please enter a filename");
    EXPECT_EQ(questions.asked[0].text, "You must select the configuration file to restore.");
    EXPECT_TRUE(device.ReceivedCommands().empty());
}

TEST_F(UtilitiesTest, FactoryDefaultsKeepTheSettingsWhenTheirQueryFails)
{
    ReadSettings();
    Read(kQueryStateRequest, false);
    const xmlDoc* settingsBefore = documents.SettingsDocument();
    ASSERT_TRUE(device.SetSetting("mobile_simple/apn", "custom.apn"));
    device.ChangeFaults([](sim::Faults& faults) { faults.errorFor = {"<query_setting></query_setting>"}; });

    const FactoryDefaultsResult result = RestoreDefaults(documents, runner, questions);

    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.refused, std::nullopt);
    EXPECT_FALSE(result.settingsRead);
    EXPECT_TRUE(result.stateRead);
    EXPECT_EQ(documents.SettingsDocument(), settingsBefore);
    EXPECT_NE(documents.StateRoot(), nullptr);
    EXPECT_NE(device.Setting("mobile_simple/apn"), "custom.apn");
    EXPECT_EQ(device.RestartCount(), 1);
    EXPECT_TRUE(questions.asked.empty());
}

TEST_F(UtilitiesTest, FactoryDefaultsAnsweredWithErrorAreRefused)
{
    device.ChangeFaults([](sim::Faults& faults) { faults.errorFor = {"set_factory_default"}; });

    const FactoryDefaultsResult result = RestoreDefaults(documents, runner, questions);

    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(result.refused, std::optional<std::string>("an error answer or none"));
}

// What became of a restored file's settings: taken, refused in the device's words inside
// its reply, or refused with an error answer to the announcement or to the file.
struct RestoreRefusal {
    const char* label;
    sim::Faults faults;
    std::optional<std::string> refused;
};

class RestoreRefusals : public UtilitiesTest, public ::testing::WithParamInterface<RestoreRefusal> { };

TEST_P(RestoreRefusals, SayWhatTheDeviceAnswered)
{
    ReadSettings();
    const std::string backup = dir + "/backup.cfg";
    questions.savePaths = {backup};
    ASSERT_EQ(BackupConfig(documents, questions).outcome, BackupOutcome::Written);
    // The file's APN is a new value for the device now.
    ASSERT_TRUE(device.SetSetting("mobile_simple/apn", "changed.apn"));
    device.SetFaults(GetParam().faults);

    const RestoreResult result = RestoreConfig(backup, documents, runner, questions);

    EXPECT_EQ(result.outcome, RestoreOutcome::Sent);
    EXPECT_EQ(result.refused, GetParam().refused);
    EXPECT_EQ(device.Setting("mobile_simple/apn"), GetParam().refused ? "changed.apn" : "internet.tervane");
}

INSTANTIATE_TEST_SUITE_P(Replies, RestoreRefusals,
    ::testing::Values(RestoreRefusal {"taken", {}, std::nullopt},
        RestoreRefusal {"inTheReply",
            [] {
                sim::Faults faults;
                faults.refusedSettings = {"apn"};
                return faults;
            }(),
            "Invalid value for apn: internet.tervane"},
        RestoreRefusal {"announcementError",
            [] {
                sim::Faults faults;
                faults.errorFor = {"at&usbinterface=22"};
                return faults;
            }(),
            "an error answer or none"}),
    [](const auto& row) { return std::string(row.param.label); });

TEST_F(UtilitiesTest, RebootRestartsTheDevice)
{
    EXPECT_TRUE(RebootDevice(runner));
    EXPECT_EQ(device.ReceivedCommands(), std::vector<std::string>{"at+CFUN=1"});
    EXPECT_TRUE(device.WaitForPort(5000));
}

} // namespace
} // namespace tervane::test
