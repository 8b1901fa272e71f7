#pragma once

#include <optional>
#include <string>

namespace tervane {

class DeviceRunner;
class ProcedureQuestions;
class RciDocuments;

enum class BackupOutcome {
    NoSettings,   // no settings document has been read; reported, nothing asked or written
    NotChosen,    // the user cancelled the save dialog
    WriteFailed,  // reported; a file that was at the path is left as it was
    Written,
};

struct BackupResult {
    BackupOutcome outcome = BackupOutcome::NotChosen;
    std::string path;
    std::string reason;  // WriteFailed: why
};

// Saves the settings document (an rci_request whose set_setting holds every setting) to a
// file the user chooses, proposed as "backup.cfg".
BackupResult BackupConfig(const RciDocuments& documents, ProcedureQuestions& questions);

enum class RestoreOutcome {
    NoFile,        // the path was empty; nothing was sent
    FileRejected,  // the file could not be read or is not well-formed XML; reported, nothing sent
    Sent,          // the file was sent, the device rebooted and the settings were read back
};

struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::NoFile;
    std::string reason;         // FileRejected: why
    bool settingsRead = false;  // the read-back answered and replaced the settings document
    // Sent: why the device did not take the file's settings, "an error answer or none" or
    // the RCI error text of its reply; none when it took them.
    std::optional<std::string> refused;
};

// Sends the configuration file at `path` to the device as a raw request, reboots it and
// reads the settings back into `documents`.
RestoreResult RestoreConfig(const std::string& path, RciDocuments& documents, DeviceRunner& runner,
    ProcedureQuestions& questions);

} // namespace tervane
