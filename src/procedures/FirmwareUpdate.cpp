#include "FirmwareUpdate.h"

#include "CommandBatch.h"
#include "ImageUpload.h"
#include "DeviceRunner.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "SettingPath.h"
#include "TransferVerification.h"

namespace tervane {

namespace {

constexpr int kVerifyTimeout = 20000;
constexpr int kRemoveTimeout = 10000;
constexpr int kInstallTimeout = 300000;
constexpr int kAttentionTimeout = 1000;
constexpr int kStateTimeout = 40000;

const char* const kInstallCommand = "at&usbinterface=110\r\n";

} // namespace

FirmwareUpdateResult UpdateFirmware(const std::string& imagePath, RciDocuments& documents, DeviceRunner& runner,
    ProcedureQuestions& questions)
{
    FirmwareUpdateResult result;
    switch (CheckImageFile(imagePath, questions)) {
    case ImageFileCheck::NoFile:
        result.outcome = FirmwareUpdateOutcome::NoFile;
        return result;
    case ImageFileCheck::Unreadable:
        result.outcome = FirmwareUpdateOutcome::FileUnreadable;
        return result;
    case ImageFileCheck::Good:
        break;
    }
    // Taken once: every retry is checked against the file as it was first read.
    result.localDigest = FileDigestHex(imagePath).value_or("");

    const ImageUploadRows rows{
        CommandRow(FirmwareDigestQuery(), "Verifying firmware image on the device...", kVerifyTimeout),
        CommandRow(std::string(kRemoveFirmwareImageRequest), "Removing uploaded firmware image from the device...",
            kRemoveTimeout)};
    ImageUploadProgress progress;
    const bool verified = UploadImageUntilVerified(UploadSource(imagePath, true, false), result.localDigest, rows,
        runner, questions, progress);
    result.uploads = progress.uploads;
    result.lastUpload = progress.lastUpload;
    if (!verified) {
        result.outcome = FirmwareUpdateOutcome::Cancelled;
        return result;
    }

    // The install restarts the device; the runner reads it in reconnect wait, so the
    // attention command and the state query go to the device that came back.
    CommandBatch batch;
    batch.AddTail(CommandRow(kInstallCommand, "The device is now updating the firmware....", kInstallTimeout));
    batch.AddTail(CommandRow("at\r\n", "Retrieving new settings from the device...", kAttentionTimeout));
    batch.AddTail(CommandRow(std::string(kQueryStateRequest), "Retrieving new settings from the device...", kStateTimeout));
    runner.RunBatch(batch);

    documents.ParseStateAnswer(batch.GetTail()->response);
    result.product = SettingText(documents.StateRoot(), "device_info/product").value_or("");
    result.firmwareVersion = SettingText(documents.StateRoot(), kFirmwareVersionPath).value_or("");
    questions.DocumentsReplaced();

    if (batch.GetHead()->failed) {
        questions.Ask(QuestionKind::Error, std::string(kErrorCaption), std::string(kFirmwareUpdateFailedText));
        result.outcome = FirmwareUpdateOutcome::InstallFailed;
        return result;
    }
    result.outcome = FirmwareUpdateOutcome::Installed;
    return result;
}

} // namespace tervane
