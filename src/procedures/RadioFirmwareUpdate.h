#pragma once

#include "UploadWorker.h"

#include <optional>
#include <string>

namespace tervane {

class DeviceRunner;
class ProcedureQuestions;
class RciDocuments;

enum class RadioFirmwareUpdateOutcome {
    NoFile,          // the path was empty; nothing was sent
    FileUnreadable,  // the file could not be opened; nothing was sent
    NameRefused,     // the file's name cannot be carried to the device; nothing was sent
    Cancelled,       // the digests differed and the user gave up; the image stays in /WEB/mesh
    Flashed,         // the flash request ran and the state and radio settings were read back
};

// Where the state document reports the radio's firmware version.
inline constexpr const char* kRadioFirmwareVersionPath = "zigbee_state/firmware_version";

struct RadioFirmwareUpdateResult {
    RadioFirmwareUpdateOutcome outcome = RadioFirmwareUpdateOutcome::NoFile;
    std::string fileName;       // the name in /WEB/mesh and in the flash request
    int uploads = 0;
    UploadResult lastUpload;
    std::string localDigest;
    // Flashed: why the device did not take the flash request, "an error answer or none" or
    // the RCI error text of its reply; none when it took it.
    std::optional<std::string> flashRefused;
    bool stateRead = false;          // the state query answered and was parsed
    bool radioSettingsRead = false;  // the radio settings query answered and was parsed
    // zigbee_state/firmware_version of the state document after the read-back; empty when
    // it holds none: what the radio runs now, whatever the flash request's answer.
    std::string radioFirmwareVersion;
};

// Flashes the radio module with the image at `imagePath`: uploads it to "/WEB/mesh/" under
// its own name, verifies its digest (Retry removes it and uploads again), asks the radio
// to update from it, then reads the state and the radio settings back into `documents`.
RadioFirmwareUpdateResult UpdateRadioFirmware(const std::string& imagePath, RciDocuments& documents,
    DeviceRunner& runner, ProcedureQuestions& questions);

} // namespace tervane
