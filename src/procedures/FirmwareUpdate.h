#pragma once

#include "UploadWorker.h"

#include <string>

namespace tervane {

class DeviceRunner;
class ProcedureQuestions;
class RciDocuments;

// Where the state document reports the installed firmware's version.
inline constexpr const char* kFirmwareVersionPath = "device_info/firmwaresoftrevstr";

enum class FirmwareUpdateOutcome {
    NoFile,          // the path was empty; nothing was sent
    FileUnreadable,  // the file could not be opened; nothing was sent
    Cancelled,       // the digests differed and the user gave up; the image stays on the device
    InstallFailed,   // the install command failed; the state was read back all the same
    Installed,       // the image was installed and the state read back
};

struct FirmwareUpdateResult {
    FirmwareUpdateOutcome outcome = FirmwareUpdateOutcome::NoFile;
    int uploads = 0;            // upload attempts made
    UploadResult lastUpload;    // how the last attempt went, for a caller that wants to say more
    std::string localDigest;    // the image's digest; empty when it could not be taken
    // From the state read back after the install (device_info/product and
    // device_info/firmwaresoftrevstr); empty when the state holds none.
    std::string product;
    std::string firmwareVersion;
};

// Replaces the device's firmware with the image at `imagePath`: uploads it to
// "/fw/updatefw.dwl", verifies its digest (Retry removes the image and uploads again),
// installs it across the device's restart and reads the state back into `documents`.
FirmwareUpdateResult UpdateFirmware(const std::string& imagePath, RciDocuments& documents, DeviceRunner& runner,
    ProcedureQuestions& questions);

} // namespace tervane
