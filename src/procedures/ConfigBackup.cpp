#include "ConfigBackup.h"

#include "ApplyBatch.h"
#include "DeviceRunner.h"
#include "FileReplace.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "RciErrors.h"
#include "RciRequests.h"
#include "SafeXml.h"
#include "SettingPath.h"
#include "SettingsPayload.h"

namespace tervane {

namespace {

constexpr int kAnnounceTimeout = 100;
constexpr int kPayloadTimeout = 30000;
constexpr int kRebootTimeout = 10000;
constexpr int kReadBackTimeout = 8000;

// The document as xmlSaveFile would write it, so that it can be written to the disk in
// one step.
std::optional<std::string> SerialisedDocument(xmlDoc* document)
{
    xmlChar* dump = nullptr;
    int length = 0;
    xmlDocDumpMemory(document, &dump, &length);
    const XmlString owned(dump);
    if (dump == nullptr || length < 0)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(dump), static_cast<std::size_t>(length));
}

// What a backup holds: an rci_request whose set_setting carries the settings.
bool IsSettingsRequest(xmlNodePtr root)
{
    return root != nullptr && xmlStrcasecmp(root->name, reinterpret_cast<const xmlChar*>("rci_request")) == 0
        && FindChild(root, XML_ELEMENT_NODE, "set_setting") != nullptr;
}

} // namespace

BackupResult BackupConfig(const RciDocuments& documents, ProcedureQuestions& questions)
{
    BackupResult result;
    // A backup of nothing would look like a good one; say so before asking where to put it.
    // Only a settings reply (its query_setting, now set_setting, holding the settings) is one:
    // a device answering with another document gave no settings.
    if (documents.SettingsDocument() == nullptr || documents.SettingsRoot() == nullptr) {
        questions.Ask(QuestionKind::Error, std::string(kErrorCaption), std::string(kNoSettingsToBackUpText));
        result.outcome = BackupOutcome::NoSettings;
        return result;
    }
    FileChoice choice;
    choice.defaultExtension = "cfg";
    choice.filter = "*.cfg";
    choice.initialName = "backup.cfg";
    const std::optional<std::string> path = questions.ChooseSaveFile(choice);
    if (!path) {
        result.outcome = BackupOutcome::NotChosen;
        return result;
    }
    result.path = *path;
    const std::optional<std::string> text = SerialisedDocument(documents.SettingsDocument());
    if (!text)
        result.reason = "the settings could not be serialised";
    else if (ReplaceFileContents(*path, *text, &result.reason))
        result.outcome = BackupOutcome::Written;
    if (result.outcome != BackupOutcome::Written) {
        questions.Ask(QuestionKind::Error, std::string(kErrorCaption), BackupWriteFailedMessage(*path, result.reason));
        result.outcome = BackupOutcome::WriteFailed;
    }
    return result;
}

RestoreResult RestoreConfig(const std::string& path, RciDocuments& documents, DeviceRunner& runner,
    ProcedureQuestions& questions)
{
    RestoreResult result;
    if (path.empty()) {
        questions.Ask(QuestionKind::Error, std::string(kEnterFilenameCaption), std::string(kNoRestoreFileText));
        result.outcome = RestoreOutcome::NoFile;
        return result;
    }
    const XmlDocument file = ReadUntrustedXmlFile(path, &result.reason);
    std::optional<std::string> payload;
    if (file && !IsSettingsRequest(xmlDocGetRootElement(file.get()))) {
        result.reason = "the file is not a settings backup (an rci_request holding set_setting)";
    } else if (file) {
        payload = PrepareSettingsPayload(file.get());
        if (!payload)
            result.reason = "the file holds no document to send";
    }
    if (!payload) {
        questions.Ask(QuestionKind::Error, std::string(kErrorCaption), RestoreUnreadableMessage(path, result.reason));
        result.outcome = RestoreOutcome::FileRejected;
        return result;
    }

    CommandBatch batch;
    batch.AddTail(CommandRow(std::string(kRawRequestAnnounce), "Sending new settings to the device...", kAnnounceTimeout));
    batch.AddTail(CommandRow(*payload, "Sending new settings to the device...", kPayloadTimeout));
    batch.AddTail(CommandRow("at+CFUN=1\r\n", "Rebooting device...", kRebootTimeout));
    batch.AddTail(CommandRow(std::string(kQuerySettingsRequest), "Retrieving settings from the device...", kReadBackTimeout));
    runner.RunBatch(batch);

    WalkResults(documents, batch, kApplySettingsRoutes);
    result.refused = RowRefusal(*batch.GetAt(0));
    if (!result.refused)
        result.refused = RowRefusal(*batch.GetAt(1));
    result.settingsRead = batch.GetTail()->failed == 0 && documents.SettingsRoot() != nullptr;
    questions.DocumentsReplaced();
    result.outcome = RestoreOutcome::Sent;
    return result;
}

} // namespace tervane
