// firmware / radio-firmware: the firmware procedures of the Firmware Update and Ravlo pages,
// with retries bounded by --retries.

#include "CliQuestions.h"
#include "CliRunner.h"
#include "CliSession.h"
#include "CommandText.h"
#include "FirmwareUpdate.h"
#include "LocalFiles.h"
#include "ProcedureSteps.h"
#include "RadioFirmwareUpdate.h"
#include "RciDocuments.h"
#include "SubcommandHandlers.h"

#include <ostream>

namespace tervane {

namespace {

// The local file is checked before the device is looked for: a wrong path is the command
// line's fault and should not wait for a device.
std::optional<int> CheckImage(CliSession& session, const std::string& path, std::string_view subcommand)
{
    if (const std::string why = WhyUnreadable(path); !why.empty())
        return session.UsageFailure(why, subcommand);
    return std::nullopt;
}

void ReportUpload(JsonValue& result, int uploads, const UploadResult& last, const std::string& localDigest)
{
    result.Set("uploads", uploads);
    result.Set("lastUpload", UploadStatusName(last.status));
    result.Set("lastUploadMessage", UploadStatusText(last.status));
    result.Set("localDigest", localDigest);
}

} // namespace

int RunFirmware(CliSession& session, const Operands& operands)
{
    const std::string& image = operands[0];
    if (const auto status = CheckImage(session, image, "firmware"))
        return *status;
    if (const auto status = session.Connect())
        return *status;

    CliQuestions questions(session, session.Options().retries);
    const FirmwareUpdateResult result = UpdateFirmware(image, session.Documents(), session.Runner(), questions);
    JsonValue& json = session.Result();
    ReportUpload(json, result.uploads, result.lastUpload, result.localDigest);

    switch (result.outcome) {
    case FirmwareUpdateOutcome::NoFile:
    case FirmwareUpdateOutcome::FileUnreadable:
        return kExitUsage;
    case FirmwareUpdateOutcome::Cancelled:
        session.Out() << "The image stays in /fw/updatefw.dwl on the device; it was not installed.\n";
        json.Set("installed", false);
        return kExitRefused;
    case FirmwareUpdateOutcome::InstallFailed:
    case FirmwareUpdateOutcome::Installed:
        break;
    }

    const bool installed = result.outcome == FirmwareUpdateOutcome::Installed;
    json.Set("installed", installed);
    if (session.Documents().StateRoot() == nullptr) {
        // The install may have worked, but nothing proves the device came back with it.
        return session.Fail(kExitRefused, "the device did not report its state after the restart");
    }
    json.Set("product", result.product);
    json.Set("firmwareVersion", result.firmwareVersion);
    session.Out() << "Product:          " << EscapeForDisplay(result.product) << "\n"
                  << "Firmware Version: " << EscapeForDisplay(result.firmwareVersion) << "\n";
    return installed ? kExitDone : kExitRefused;
}

int RunRadioFirmware(CliSession& session, const Operands& operands)
{
    const std::string& image = operands[0];
    if (const auto status = CheckImage(session, image, "radio-firmware"))
        return *status;
    const UploadSource source(image, false, true);
    if (const auto refusal = DestinationRefusal(source.CheckDestination()); !refusal.empty())
        return session.UsageFailure("the image's name cannot be used on the device: " + std::string(refusal),
            "radio-firmware");
    if (const auto status = session.Connect())
        return *status;

    CliQuestions questions(session, session.Options().retries);
    const RadioFirmwareUpdateResult result =
        UpdateRadioFirmware(image, session.Documents(), session.Runner(), questions);
    JsonValue& json = session.Result();
    ReportUpload(json, result.uploads, result.lastUpload, result.localDigest);
    json.Set("fileName", result.fileName);

    switch (result.outcome) {
    case RadioFirmwareUpdateOutcome::NoFile:
    case RadioFirmwareUpdateOutcome::FileUnreadable:
    case RadioFirmwareUpdateOutcome::NameRefused:
        return kExitUsage;
    case RadioFirmwareUpdateOutcome::Cancelled:
        session.Out() << "The image stays in /WEB/mesh/" << result.fileName << " on the device; the radio was not flashed.\n";
        json.Set("flashed", false);
        return kExitRefused;
    case RadioFirmwareUpdateOutcome::Flashed:
        break;
    }

    // A script needs a verdict: a refused flash request counts as a failure.
    int status = kExitDone;
    const std::optional<std::string>& refusal = result.flashRefused;
    const bool flashed = !refusal;
    json.Set("flashed", flashed);
    json.Set("radioFirmwareVersion", result.radioFirmwareVersion);
    json.Set("stateRead", result.stateRead);
    json.Set("radioSettingsRead", result.radioSettingsRead);
    if (!flashed)
        status = session.Fail(kExitRefused,
            "the device refused to flash the Ravlo radio with " + result.fileName + ": " + *refusal);
    if (!result.stateRead)
        status = session.Fail(kExitRefused, "the device did not report its state after the radio update");
    if (!result.radioFirmwareVersion.empty())
        session.Out() << "Ravlo Firmware Version: " << EscapeForDisplay(result.radioFirmwareVersion) << "\n";
    return status;
}

} // namespace tervane
