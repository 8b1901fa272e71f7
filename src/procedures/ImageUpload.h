#pragma once

#include "USBCommand.h"
#include "UploadWorker.h"

#include <string>

namespace tervane {

class DeviceRunner;
class ProcedureQuestions;

enum class ImageFileCheck {
    Good,
    NoFile,      // the path is empty
    Unreadable,  // no regular file can be opened there
};

// The checks before a firmware image is sent; a failed one has been reported to the user.
ImageFileCheck CheckImageFile(const std::string& path, ProcedureQuestions& questions);

// How the device is asked for an uploaded image's digest, and how a bad copy is removed.
struct ImageUploadRows {
    USBCommand digestQuery;
    USBCommand removal;
};

// Where the uploads of one image stand.
struct ImageUploadProgress {
    int uploads = 0;
    UploadResult lastUpload;
};

// Uploads the image and asks the device for its digest until it matches `localDigest`. After
// a mismatch the user chooses Retry (the bad copy is removed, then the image is sent again)
// or Cancel, which returns false with the bad copy left on the device.
bool UploadImageUntilVerified(const UploadSource& source, const std::string& localDigest, const ImageUploadRows& rows,
    DeviceRunner& runner, ProcedureQuestions& questions, ImageUploadProgress& progress);

} // namespace tervane
