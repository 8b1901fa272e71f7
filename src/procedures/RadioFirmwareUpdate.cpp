#include "RadioFirmwareUpdate.h"

#include "CommandBatch.h"
#include "DeviceRunner.h"
#include "ImageUpload.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "RciErrors.h"
#include "RciRequests.h"
#include "SettingPath.h"
#include "TransferVerification.h"

namespace tervane {

namespace {

constexpr int kVerifyTimeout = 20000;
constexpr int kRemoveTimeout = 10000;
constexpr int kFlashTimeout = 180000;
constexpr int kQueryTimeout = 20000;

} // namespace

RadioFirmwareUpdateResult UpdateRadioFirmware(const std::string& imagePath, RciDocuments& documents,
    DeviceRunner& runner, ProcedureQuestions& questions)
{
    RadioFirmwareUpdateResult result;
    switch (CheckImageFile(imagePath, questions)) {
    case ImageFileCheck::NoFile:
        result.outcome = RadioFirmwareUpdateOutcome::NoFile;
        return result;
    case ImageFileCheck::Unreadable:
        result.outcome = RadioFirmwareUpdateOutcome::FileUnreadable;
        return result;
    case ImageFileCheck::Good:
        break;
    }
    const UploadSource source(imagePath, false, true);
    result.fileName = source.FileName();
    // The name goes into the upload, the digest query, the removal and the flash request;
    // one it would break is never sent.
    const DestinationCheck check = source.CheckDestination();
    if (check != DestinationCheck::Good) {
        questions.Ask(QuestionKind::Error, std::string(kEnterCorrectFilenameCaption),
            std::string(DestinationRefusal(check)));
        result.outcome = RadioFirmwareUpdateOutcome::NameRefused;
        return result;
    }
    result.localDigest = FileDigestHex(imagePath).value_or("");

    const ImageUploadRows rows{
        CommandRow(MeshDigestQuery(result.fileName), "Verifying firmware image on the Device...", kVerifyTimeout),
        CommandRow(FillRciRequest(kRemoveRadioFirmwareRequest, result.fileName).value_or(""),
            "Removing uploaded firmware image from the Device...", kRemoveTimeout)};
    ImageUploadProgress progress;
    const bool verified = UploadImageUntilVerified(source, result.localDigest, rows, runner, questions, progress);
    result.uploads = progress.uploads;
    result.lastUpload = progress.lastUpload;
    if (!verified) {
        result.outcome = RadioFirmwareUpdateOutcome::Cancelled;
        return result;
    }

    // The radio flashes from the mesh folder: the request names the file alone.
    CommandBatch batch;
    batch.AddTail(CommandRow(FillRciRequest(kRadioFirmwareUpdateRequest, result.fileName).value_or(""),
        "Updating firmware on the Ravlo radio...", kFlashTimeout));
    batch.AddTail(CommandRow(std::string(kQueryStateRequest), "Collecting Device information...", kQueryTimeout));
    batch.AddTail(CommandRow(std::string(kQueryRadioSettingsRequest), "Retrieving Ravlo settings from the device...",
        kQueryTimeout));
    runner.RunBatch(batch);

    result.flashRefused = RowRefusal(*batch.GetHead());
    for (const USBCommand& row : batch) {
        if (row.failed)
            continue;
        if (row.command.empty())
            break;
        if (row.command.find(kQueryStateRequest) != std::string::npos) {
            documents.ParseStateAnswer(row.response);
            result.stateRead = documents.StateRoot() != nullptr;
        } else if (row.command.find(kQueryRadioSettingsRequest) != std::string::npos) {
            // A radio that is not configured keeps the previous document.
            const bool notConfigured = ReportsRadioNotConfigured(row.response);
            documents.ParseRadioSettings(row.response);
            result.radioSettingsRead = !notConfigured && documents.RadioSettingsRoot() != nullptr;
        }
    }
    result.radioFirmwareVersion = SettingText(documents.StateRoot(), kRadioFirmwareVersionPath).value_or("");
    questions.DocumentsReplaced();
    result.outcome = RadioFirmwareUpdateOutcome::Flashed;
    return result;
}

} // namespace tervane
