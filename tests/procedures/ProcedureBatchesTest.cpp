// The batches each procedure hands to the runner, row by row, and what it makes of the
// answers, against a scripted device.
#include "ConfigBackup.h"
#include "DeviceReset.h"
#include "FirmwareUpdate.h"
#include "ProcedureTestSupport.h"
#include "PythonFiles.h"
#include "RadioFirmwareUpdate.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "TestSupport.h"
#include "TransferVerification.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tervane::test {
namespace {

const std::string kStateReply = "<rci_reply version='1.1'><query_state><device_info><product>Skellin Q7</product>"
                                "<firmwaresoftrevstr>2.5.0.3</firmwaresoftrevstr></device_info></query_state></rci_reply>";

bool Holds(const USBCommand& row, std::string_view text)
{
    return row.command.find(text) != std::string::npos;
}

class ProcedureBatches : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string LocalFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        return path;
    }

    std::string dir = MakeScratchDir("tervane-procedure-batches");
    ScriptedRunner runner;
    ScriptedQuestions questions;
    RciDocuments documents;
};

TEST_F(ProcedureBatches, FirmwareUpdateRetriesThenInstallsAndReportsAFailedInstallAfterTheReadBack)
{
    const std::string path = LocalFile("image.bin", "firmware image");
    const std::string digest = *FileDigestHex(path);
    int digestQueries = 0;
    runner.answer = [&](USBCommand& row) {
        if (Holds(row, "at&usbinterface=41"))
            row.response = ++digestQueries == 1 ? "00000000000000000000000000000000" : digest.substr(0, 10) + "\r\n" + digest.substr(10);
        else if (Holds(row, "at&usbinterface=110"))
            row.failed = 1;
        else if (Holds(row, "<query_state/>"))
            row.response = kStateReply;
    };
    questions.answers = {Answer::Retry};

    const FirmwareUpdateResult result = UpdateFirmware(path, documents, runner, questions);

    EXPECT_EQ(result.outcome, FirmwareUpdateOutcome::InstallFailed);
    EXPECT_EQ(result.firmwareVersion, "2.5.0.3");
    EXPECT_EQ(result.product, "Skellin Q7");
    EXPECT_EQ(runner.uploads, (std::vector<std::string>{"/fw/updatefw.dwl", "/fw/updatefw.dwl"}));
    const RowText verify{"at&usbinterface=41,\"/fw/updatefw.dwl\"\r\n", "Verifying firmware image on the device...", 20000, 0};
    const RowText remove{std::string(kRemoveFirmwareImageRequest), "Removing uploaded firmware image from the device...",
        10000, 0};
    ASSERT_EQ(runner.batches.size(), 4u);
    EXPECT_EQ(RowsOf(runner.batches[0]), std::vector<RowText>{verify});
    EXPECT_EQ(RowsOf(runner.batches[1]), std::vector<RowText>{remove});
    EXPECT_EQ(RowsOf(runner.batches[2]), std::vector<RowText>{verify});
    EXPECT_EQ(RowsOf(runner.batches[3]),
        (std::vector<RowText>{{"at&usbinterface=110\r\n", "The device is now updating the firmware....", 300000, 0},
            {"at\r\n", "Retrieving new settings from the device...", 1000, 0},
            {std::string(kQueryStateRequest), "Retrieving new settings from the device...", 40000, 0}}));
    // The page shows the state read back before the failure is reported.
    EXPECT_EQ(questions.events, (std::vector<std::string>{"ask", "documents", "ask"}));
    EXPECT_EQ(questions.asked[0].text, UploadMismatchMessage(digest, "00000000000000000000000000000000"));
    EXPECT_EQ(questions.asked[1].caption, "Error");
    EXPECT_EQ(questions.asked[1].text, "Firmware Update failed.");
}

TEST_F(ProcedureBatches, RadioUpdateFlashesByBareNameAndReadsBackWithoutAmpersands)
{
    const std::string path = LocalFile("ember.ebl", "radio image");
    const std::string digest = *FileDigestHex(path);
    runner.answer = [&](USBCommand& row) {
        if (Holds(row, "at&usbinterface=41"))
            row.response = digest;
        else if (Holds(row, "<query_state/>"))
            row.response = "<rci_reply><query_state><zigbee_state><firmware_version>0x22&70</firmware_version>"
                           "</zigbee_state></query_state></rci_reply>";
        else if (Holds(row, "<query_setting/>"))
            row.failed = 1;
    };

    const RadioFirmwareUpdateResult result = UpdateRadioFirmware(path, documents, runner, questions);

    EXPECT_EQ(result.outcome, RadioFirmwareUpdateOutcome::Flashed);
    EXPECT_EQ(result.radioFirmwareVersion, "0x2270");
    EXPECT_TRUE(result.stateRead);
    EXPECT_FALSE(result.radioSettingsRead);
    EXPECT_EQ(runner.uploads, std::vector<std::string>{"/WEB/mesh/ember.ebl"});
    ASSERT_EQ(runner.batches.size(), 2u);
    EXPECT_EQ(RowsOf(runner.batches[0]),
        (std::vector<RowText>{{"at&usbinterface=41,\"/WEB/mesh/ember.ebl\"\r\n", "Verifying firmware image on the Device...",
            20000, 0}}));
    EXPECT_EQ(RowsOf(runner.batches[1]),
        (std::vector<RowText>{{"at&usbinterface=20,\"<rci_request version='1.1'><do_command target='zigbee'>"
                               "<fw_update file='ember.ebl'/></do_command></rci_request>\"\r\n",
                                  "Updating firmware on the Ravlo radio...", 180000, 0},
            {std::string(kQueryStateRequest), "Collecting Device information...", 20000, 0},
            {std::string(kQueryRadioSettingsRequest), "Retrieving Ravlo settings from the device...", 20000, 0}}));
}

TEST_F(ProcedureBatches, RadioRetryRemovesFromTheMeshFolder)
{
    const std::string path = LocalFile("ember.ebl", "radio image");
    runner.answer = [](USBCommand& row) { row.response = "ERROR"; row.failed = 1; };
    questions.answers = {Answer::Retry, Answer::Cancel};

    EXPECT_EQ(UpdateRadioFirmware(path, documents, runner, questions).outcome, RadioFirmwareUpdateOutcome::Cancelled);

    ASSERT_EQ(runner.batches.size(), 3u);
    EXPECT_EQ(RowsOf(runner.batches[1]),
        (std::vector<RowText>{{"at&usbinterface=20,\"<rci_request version='1.1'><do_command target='file_system'>"
                               "<rm name='/WEB/mesh/ember.ebl'/></do_command></rci_request>\"\r\n",
            "Removing uploaded firmware image from the Device...", 10000, 0}}));
    EXPECT_EQ(runner.uploads.size(), 2u);
}

TEST_F(ProcedureBatches, PythonUploadVerifiesAndListsInOneBatch)
{
    const std::string path = LocalFile("blink.py", "print(1)\n");
    const std::string digest = *FileDigestHex(path);
    runner.answer = [&](USBCommand& row) {
        if (Holds(row, "at&usbinterface=41"))
            row.response = digest;
        else if (Holds(row, "<ls "))
            row.response = "<rci_reply><do_command><ls><file name='blink.py' size='9'/></ls></do_command></rci_reply>";
    };

    const PythonUploadResult result = UploadPythonFile(path, runner, questions);

    EXPECT_EQ(result.outcome, PythonUploadOutcome::Verified);
    ASSERT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(RowsOf(runner.batches[0]),
        (std::vector<RowText>{{"at&usbinterface=41,\"/WEB/python/blink.py\"\r\n", "Verifying upload...", 15000, 0},
            {"at&usbinterface=22\r\n", "Retrieving file list from the device...", 5000, 0},
            {std::string(kListPythonFilesRequest), "Retrieving file list from the device...", 30000, 0}}));
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(FileListItemText(result.files[0]), "blink.py        9       ");
}

TEST_F(ProcedureBatches, PythonDownloadSizesItsRowsByTheListedSize)
{
    const std::string content = "print('hello')\n";
    const std::string base64 = "cHJpbnQo\r\nJ2hlbGxv\nJykK";
    runner.answer = [&](USBCommand& row) {
        if (Holds(row, "<get_file "))
            row.response = "<rci_reply><do_command target='file_system'><get_file name='/WEB/python/tool.py'>"
                           "<data size='15' encode='base64'>" + base64 + "</data></get_file></do_command></rci_reply>";
        else if (Holds(row, "at&usbinterface=41"))
            row.response = "a4ea7a0c84a2d6d6e9e1e5a0ab1f0f56";  // not the content's: asks, then Cancel
    };
    questions.savePaths = {dir + "/tool.py"};
    questions.answers = {Answer::Cancel};

    const auto results = DownloadPythonFiles({ItemForEntry({"tool.py", "10000"})}, runner, questions);

    const std::string prompt = "Retrieving tool.py (10000 bytes) from the device...";
    ASSERT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(RowsOf(runner.batches[0]),
        (std::vector<RowText>{{"at&usbinterface=22\r\n", prompt, 10000, 0},
            {"<rci_request version='1.1'><do_command target='file_system'><get_file name='/WEB/python/tool.py'/>"
             "</do_command></rci_request>",
                prompt, 40000, DownloadResponseReserve(10000)},
            {"at&usbinterface=41,\"/WEB/python/tool.py\"\r\n", prompt, 2000, 0}}));
    // Cancelled at the mismatch: the download is kept beside the chosen file.
    EXPECT_EQ(ReadWholeFile(dir + "/tool.py.unverified"), content);
    EXPECT_FALSE(std::filesystem::exists(dir + "/tool.py"));
    EXPECT_EQ(results.at(0).outcome, PythonDownloadOutcome::Cancelled);
    EXPECT_EQ(results.at(0).unverifiedPath, dir + "/tool.py.unverified");
}

TEST_F(ProcedureBatches, PythonDeleteSendsEveryRemovalThenTheListing)
{
    runner.answer = [](USBCommand&) {};

    DeletePythonFiles({ItemForEntry({"main.py", "52"}), ItemForEntry({"xbee.py", "71"})},
        runner, questions);

    const auto removal = [](const std::string& name) {
        return RowText{"at&usbinterface=20,\"<rci_request version='1.1'><do_command target='file_system'><rm name='/WEB/python/"
                + name + "'/></do_command></rci_request>\"\r\n",
            "Deleting file from the device...", 10000, 0};
    };
    ASSERT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(RowsOf(runner.batches[0]),
        (std::vector<RowText>{removal("main.py"), removal("xbee.py"),
            {"at&usbinterface=22\r\n", "Retrieving file list from the device...", 5000, 0},
            {std::string(kListPythonFilesRequest), "Retrieving file list from the device...", 30000, 0}}));
}

TEST_F(ProcedureBatches, RestoreSendsThePayloadRebootsAndReadsBack)
{
    const std::string path = LocalFile("backup.cfg",
        "<?xml version=\"1.0\"?>\n<rci_request version=\"1.1\"><set_setting><serial><baud>9600</baud></serial>"
        "</set_setting></rci_request>\n");
    runner.answer = [](USBCommand& row) {
        if (Holds(row, "<query_setting>"))
            row.response = "<rci_reply><query_setting><serial><baud>9600</baud></serial></query_setting></rci_reply>";
    };

    const RestoreResult result = RestoreConfig(path, documents, runner, questions);

    EXPECT_EQ(result.outcome, RestoreOutcome::Sent);
    EXPECT_TRUE(result.settingsRead);
    ASSERT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(RowsOf(runner.batches[0]),
        (std::vector<RowText>{{"at&usbinterface=22\r\n", "Sending new settings to the device...", 100, 0},
            {"<rci_request version='1.1'><set_setting><serial><baud>9600</baud></serial></set_setting></rci_request>",
                "Sending new settings to the device...", 30000, 0},
            {"at+CFUN=1\r\n", "Rebooting device...", 10000, 0},
            {std::string(kQuerySettingsRequest), "Retrieving settings from the device...", 8000, 0}}));
}

TEST_F(ProcedureBatches, RebootAndFactoryDefaultsRows)
{
    runner.answer = [](USBCommand&) {};

    RebootDevice(runner);
    RestoreDefaults(documents, runner, questions);

    const std::string readBack = "Collecting device information after factory reset...";
    ASSERT_EQ(runner.batches.size(), 2u);
    EXPECT_EQ(RowsOf(runner.batches[0]), (std::vector<RowText>{{"at+CFUN=1\r\n", "Rebooting device....", 10000, 0}}));
    EXPECT_EQ(RowsOf(runner.batches[1]),
        (std::vector<RowText>{{std::string(kFactoryDefaultRequest), "Restoring factory defaults...", 10000, 0},
            {"at+CFUN=1\r\n", "Rebooting device...", 10000, 0},
            {std::string(kQuerySettingsRequest), readBack, 20000, 0},
            {std::string(kQueryStateRequest), readBack, 20000, 0}}));
}

// Paths refused before anything reaches the device.
enum class PathProcedure { Firmware, Radio, PythonUpload, Restore };

struct RefusedPath {
    const char* name;
    PathProcedure procedure;
    bool empty;  // empty path, else a path to a folder
    const char* caption;
    const char* text;
};

class RefusedPaths : public ProcedureBatches, public ::testing::WithParamInterface<RefusedPath> {};

TEST_P(RefusedPaths, AskForAFileAndSendNothing)
{
    const RefusedPath& c = GetParam();
    const std::string path = c.empty ? std::string() : dir;
    switch (c.procedure) {
    case PathProcedure::Firmware: UpdateFirmware(path, documents, runner, questions); break;
    case PathProcedure::Radio: UpdateRadioFirmware(path, documents, runner, questions); break;
    case PathProcedure::PythonUpload: UploadPythonFile(path, runner, questions); break;
    case PathProcedure::Restore: RestoreConfig(path, documents, runner, questions); break;
    }

    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].kind, QuestionKind::Error);
    EXPECT_EQ(questions.asked[0].caption, c.caption);
    EXPECT_EQ(questions.asked[0].text, c.text);
    EXPECT_TRUE(runner.batches.empty());
    EXPECT_TRUE(runner.uploads.empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, RefusedPaths,
    ::testing::Values(
        RefusedPath{"FirmwareEmpty", PathProcedure::Firmware, true, "Please enter a filename",
            "You must select the firmware file to update."},
        RefusedPath{"FirmwareFolder", PathProcedure::Firmware, false, "Please enter a correct filename",
            "Unable to open the firmware file to update."},
        RefusedPath{"RadioEmpty", PathProcedure::Radio, true, "Please enter a filename",
            "You must select the firmware file to update."},
        RefusedPath{"RadioFolder", PathProcedure::Radio, false, "Please enter a correct filename",
            "Unable to open the firmware file to update."},
        RefusedPath{"PythonEmpty", PathProcedure::PythonUpload, true, "Please enter a filename",
            "You must select a file to send."},
        RefusedPath{"RestoreEmpty", PathProcedure::Restore, true, "Please enter a filename",
            "You must select the configuration file to restore."}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ProcedureBatches, UnreadableFirmwareMissingFileSendsNothing)
{
    UpdateFirmware(dir + "/missing.bin", documents, runner, questions);

    EXPECT_EQ(questions.asked.at(0).text, "Unable to open the firmware file to update.");
    EXPECT_TRUE(runner.uploads.empty());
}

} // namespace
} // namespace tervane::test
