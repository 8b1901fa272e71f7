#include "RadioFirmwareUpdate.h"

#include "DeviceRunner.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "RciRequests.h"
#include "TransferVerification.h"

#include <algorithm>

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
    if (imagePath.empty()) {
        questions.Ask(QuestionKind::Error, std::string(kEnterFilenameCaption), std::string(kNoFirmwareFileText));
        result.outcome = RadioFirmwareUpdateOutcome::NoFile;
        return result;
    }
    if (!CanOpenForReading(imagePath)) {
        questions.Ask(QuestionKind::Error, std::string(kEnterCorrectFilenameCaption),
            std::string(kFirmwareUnopenableText));
        result.outcome = RadioFirmwareUpdateOutcome::FileUnreadable;
        return result;
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

    CommandBatch batch;
    for (;;) {
        result.lastUpload = runner.Upload(source);
        ++result.uploads;
        ResetBatch(batch, Row(MeshDigestQuery(result.fileName), "Verifying firmware image on the Device...",
            kVerifyTimeout));
        runner.RunBatch(batch);
        const USBCommand& answer = *batch.GetTail();
        if (DigestsMatch(result.localDigest, answer))
            break;
        const Answer choice = questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption),
            UploadMismatchMessage(result.localDigest, answer.response));
        if (choice != Answer::Retry) {
            result.outcome = RadioFirmwareUpdateOutcome::Cancelled;
            return result;
        }
        ResetBatch(batch, Row(FillRciRequest(kRemoveRadioFirmwareRequest, result.fileName).value_or(""),
            "Removing uploaded firmware image from the Device...", kRemoveTimeout));
        runner.RunBatch(batch);
        batch.RemoveAll();
    }

    // The radio flashes from the mesh folder: the request names the file alone.
    batch.RemoveAll();
    batch.AddTail(Row(FillRciRequest(kRadioFirmwareUpdateRequest, result.fileName).value_or(""),
        "Updating firmware on the Ravlo radio...", kFlashTimeout));
    batch.AddTail(Row(std::string(kQueryStateRequest), "Collecting Device information...", kQueryTimeout));
    batch.AddTail(Row(std::string(kQueryRadioSettingsRequest), "Retrieving Ravlo settings from the device...",
        kQueryTimeout));
    runner.RunBatch(batch);

    for (const USBCommand& row : batch) {
        if (row.failed)
            continue;
        if (row.command.empty())
            break;
        if (row.command.find(kQueryStateRequest) != std::string::npos) {
            std::string state = row.response;
            state.erase(std::remove(state.begin(), state.end(), '&'), state.end());
            documents.ParseState(state);
            result.stateRead = documents.StateRoot() != nullptr;
        } else if (row.command.find(kQueryRadioSettingsRequest) != std::string::npos) {
            // A radio that is not configured keeps the previous document.
            const bool notConfigured = row.response.find("Currently not configured or supported") != std::string::npos;
            documents.ParseRadioSettings(row.response);
            result.radioSettingsRead = !notConfigured && documents.RadioSettingsRoot() != nullptr;
        }
    }
    result.radioFirmwareVersion =
        SettingText(documents.StateRoot(), "zigbee_state/firmware_version").value_or("");
    questions.DocumentsReplaced();
    result.outcome = RadioFirmwareUpdateOutcome::Flashed;
    return result;
}

} // namespace tervane
