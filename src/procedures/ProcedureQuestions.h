#pragma once

#include "Translatable.h"

#include <optional>
#include <string>
#include <string_view>

namespace tervane {

// The message boxes the maintenance procedures raise. Every one has no owner window and
// the error (stop) icon.
enum class QuestionKind {
    Error,        // an OK button
    RetryCancel,  // Retry and Cancel buttons
};

enum class Answer { Ok, Retry, Cancel };

// What a file dialog offers. Open dialogs: the path must exist, no read-only result.
// Save dialogs: ask before overwriting, no read-only choice, the folder must exist.
struct FileChoice {
    std::string_view defaultExtension;  // added to a name typed without one; empty: none
    std::string_view filter;            // "*.bin|*.*||": one entry labelled "*.bin" that lists every file; empty: none
    std::string initialName;            // proposed name or path; empty: none
};

// How a procedure asks its user. The dashboard answers with message boxes and file
// dialogs, the command-line tool from its options, the tests from a script. Called on the
// thread that runs the procedure, never while a batch or an upload is running.
class ProcedureQuestions {
public:
    virtual ~ProcedureQuestions() = default;
    // Shows the text under the caption and returns the button chosen: Ok for Error,
    // Retry or Cancel for RetryCancel. Retry repeats the failed step as often as it is
    // chosen, so an answerer without a user should give up (Cancel) after a few.
    virtual Answer Ask(QuestionKind kind, const std::string& caption, const std::string& text) = 0;
    // The path to write to, or none when the user cancels.
    virtual std::optional<std::string> ChooseSaveFile(const FileChoice& choice) = 0;
    // A procedure has replaced documents (state, settings, radio settings). A page reloads
    // its fields here, so that a failure message that follows is read against the values
    // the device now reports.
    virtual void DocumentsReplaced() {}
};

// File dialogs of the "Browse..." buttons; the procedures take the chosen path as input.
inline const FileChoice kFirmwareImageChoice{"*.bin", "*.bin|*.*||", {}};
inline const FileChoice kRadioFirmwareChoice{"*.ebl", "*.ebl|*.*||", {}};
inline const FileChoice kPythonFileChoice{"*.py", "*.py|*.*||", {}};
inline const FileChoice kConfigFileChoice{"*.cfg", "*.cfg|*.*||", {}};

// Captions and texts of the procedures' messages.
inline constexpr std::string_view kErrorCaption = TERVANE_TRANSLATABLE("tervane::ProcedureQuestions", "Error");
inline constexpr std::string_view kEnterFilenameCaption =
    TERVANE_TRANSLATABLE("tervane::ProcedureQuestions", "Please enter a filename");
inline constexpr std::string_view kEnterCorrectFilenameCaption =
    TERVANE_TRANSLATABLE("tervane::ProcedureQuestions", "Please enter a correct filename");

inline constexpr std::string_view kNoFirmwareFileText =
    TERVANE_TRANSLATABLE("tervane::ProcedureQuestions", "You must select the firmware file to update.");
inline constexpr std::string_view kFirmwareUnopenableText =
    TERVANE_TRANSLATABLE("tervane::ProcedureQuestions", "Unable to open the firmware file to update.");
inline constexpr std::string_view kFirmwareUpdateFailedText =
    TERVANE_TRANSLATABLE("tervane::ProcedureQuestions", "Firmware Update failed.");
inline constexpr std::string_view kNoPythonFileText =
    TERVANE_TRANSLATABLE("tervane::ProcedureQuestions", "You must select a file to send.");
inline constexpr std::string_view kDownloadUnreadableText = TERVANE_TRANSLATABLE("tervane::ProcedureQuestions",
    "File download failed.\r\nSelect Retry to attempt the file download again.");
inline constexpr std::string_view kNoRestoreFileText =
    TERVANE_TRANSLATABLE("tervane::ProcedureQuestions", "You must select the configuration file to restore.");
inline constexpr std::string_view kNoSettingsToBackUpText = TERVANE_TRANSLATABLE("tervane::ProcedureQuestions",
    "There are no device settings to back up. Read the settings from the device first.");

// "The file name <name> cannot be sent to the device." for a name that would break the
// requests it goes into; control characters are shown as "?".
std::string UnsafeNameMessage(std::string_view name);
// "Unable to write the file <path>: <reason>.\r\nSelect Retry to attempt the file download again."
std::string DownloadWriteFailedMessage(std::string_view path, std::string_view reason);
// "File download failed." with why the reply gave no file when that is known ("File download
// failed. <Why>.\r\nSelect Retry to attempt the file download again."); kDownloadUnreadableText
// when it is not.
std::string DownloadUnreadableMessage(std::string_view why);
// "File download failed: the device sent <sent> instead of <asked>.\r\nSelect Retry to
// attempt the file download again."
std::string DownloadOtherFileMessage(std::string_view sentPath, std::string_view askedPath);
// "Unable to keep the unverified download of <path>: <reason>."
std::string KeepUnverifiedFailedMessage(std::string_view path, std::string_view reason);
// "Unable to write the backup file <path>: <reason>."
std::string BackupWriteFailedMessage(std::string_view path, std::string_view reason);
// "The configuration file <path> could not be read: <reason>."
std::string RestoreUnreadableMessage(std::string_view path, std::string_view reason);

} // namespace tervane
