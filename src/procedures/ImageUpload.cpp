#include "ImageUpload.h"

#include "CommandBatch.h"
#include "DeviceRunner.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "TransferVerification.h"

namespace tervane {

ImageFileCheck CheckImageFile(const std::string& path, ProcedureQuestions& questions)
{
    if (path.empty()) {
        questions.Ask(QuestionKind::Error, std::string(kEnterFilenameCaption), std::string(kNoFirmwareFileText));
        return ImageFileCheck::NoFile;
    }
    if (!CanOpenForReading(path)) {
        questions.Ask(QuestionKind::Error, std::string(kEnterCorrectFilenameCaption),
            std::string(kFirmwareUnopenableText));
        return ImageFileCheck::Unreadable;
    }
    return ImageFileCheck::Good;
}

bool UploadImageUntilVerified(const UploadSource& source, const std::string& localDigest, const ImageUploadRows& rows,
    DeviceRunner& runner, ProcedureQuestions& questions, ImageUploadProgress& progress)
{
    CommandBatch batch;
    for (;;) {
        // A bad transfer is caught by the digest check; the upload's own outcome is kept
        // only for the caller.
        progress.lastUpload = runner.Upload(source);
        ++progress.uploads;
        ResetBatch(batch, rows.digestQuery);
        runner.RunBatch(batch);
        const USBCommand& answer = *batch.GetTail();
        if (DigestsMatch(localDigest, answer))
            return true;
        const Answer choice = questions.Ask(QuestionKind::RetryCancel, std::string(kErrorCaption),
            UploadMismatchMessage(localDigest, answer.response));
        if (choice != Answer::Retry)
            return false;
        ResetBatch(batch, rows.removal);
        runner.RunBatch(batch);
    }
}

} // namespace tervane
