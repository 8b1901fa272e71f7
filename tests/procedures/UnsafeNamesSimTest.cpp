// File names that would break the requests they go into are refused with a message and
// never reach the device, whether they come from the PC or from the device's own list.
#include "PythonFiles.h"
#include "RadioFirmwareUpdate.h"
#include "RciRequests.h"
#include "SimProcedureTest.h"
#include "UploadWorker.h"

namespace tervane::test {
namespace {

enum class Action { RadioUpdate, PythonUpload, Download, Delete };

struct UnsafeName {
    const char* label;
    Action action;
    std::string name;
};

class UnsafeNames : public SimProcedureTest, public ::testing::WithParamInterface<UnsafeName> {};

TEST_P(UnsafeNames, AreRefusedAndNeverSent)
{
    const UnsafeName& c = GetParam();
    const bool fromDevice = c.action == Action::Download || c.action == Action::Delete;
    std::vector<PythonFileItem> items;
    if (fromDevice) {
        device.PutFile("/WEB/python/" + c.name, "print(1)\n");
        for (const PythonFileEntry& entry : ListPythonFiles(runner)) {
            if (entry.name == c.name)
                items.push_back(ItemForEntry(entry));
        }
        ASSERT_EQ(items.size(), 1u) << "the device lists the file";
        device.ClearReceivedCommands();
    }
    const std::string path = fromDevice ? std::string() : LocalFile(c.name, "x");

    switch (c.action) {
    case Action::RadioUpdate:
        EXPECT_EQ(UpdateRadioFirmware(path, documents, runner, questions).outcome,
            RadioFirmwareUpdateOutcome::NameRefused);
        break;
    case Action::PythonUpload:
        EXPECT_EQ(UploadPythonFile(path, runner, questions).outcome, PythonUploadOutcome::NameRefused);
        break;
    case Action::Download:
        EXPECT_EQ(DownloadPythonFiles(items, runner, questions).at(0).outcome, PythonDownloadOutcome::NameRefused);
        break;
    case Action::Delete:
        EXPECT_EQ(DeletePythonFiles(items, runner, questions).refused, std::vector<std::string>{c.name});
        break;
    }

    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].kind, QuestionKind::Error);
    if (fromDevice) {
        EXPECT_EQ(questions.asked[0].caption, "Error");
        EXPECT_EQ(questions.asked[0].text, UnsafeNameMessage(c.name));
    } else {
        EXPECT_EQ(questions.asked[0].caption, "Please enter a correct filename");
        EXPECT_EQ(questions.asked[0].text, UploadStatusText(UploadStatus::UnsafeFileName));
    }
    const auto commands = device.ReceivedCommands();
    if (c.action == Action::Delete)
        EXPECT_EQ(commands, (std::vector<std::string>{"at&usbinterface=22", std::string(kListPythonFilesRequest)}));
    else
        EXPECT_TRUE(commands.empty()) << commands.front();
    EXPECT_TRUE(questions.saveChoices.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, UnsafeNames,
    ::testing::Values(UnsafeName{"RadioQuote", Action::RadioUpdate, "ravlo'fw.ebl"},
        UnsafeName{"RadioAmpersand", Action::RadioUpdate, "a&b.ebl"},
        UnsafeName{"UploadLessThan", Action::PythonUpload, "a<b.py"},
        UnsafeName{"UploadDoubleQuote", Action::PythonUpload, "say\"hi\".py"},
        UnsafeName{"UploadControlCharacter", Action::PythonUpload, "tab\tname.py"},
        UnsafeName{"DownloadQuote", Action::Download, "x'y.py"},
        UnsafeName{"DownloadGreaterThan", Action::Download, "a>b.py"},
        UnsafeName{"DeleteAmpersand", Action::Delete, "r&d.py"},
        UnsafeName{"DeleteQuote", Action::Delete, "it's.py"}),
    [](const auto& row) { return std::string(row.param.label); });

} // namespace
} // namespace tervane::test
