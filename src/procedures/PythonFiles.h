#pragma once

#include "BindingTable.h"
#include "UploadWorker.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

class CommandBatch;
class DeviceRunner;
class ProcedureQuestions;
class RciDocuments;
struct USBCommand;

// One file of the device's Python folder, with the `name` and `size` attributes of the
// listing reply as they came.
struct PythonFileEntry {
    std::string name;
    std::string size;
};
using PythonFileList = std::vector<PythonFileEntry>;

// The narrowest the name column of the file list gets.
inline constexpr std::size_t kFileListNameWidth = 12;
// The file list's item text: the whole name padded to `nameWidth` characters, four blanks,
// the size padded to at least 8.
std::string FileListItemText(const PythonFileEntry& entry, std::size_t nameWidth = kFileListNameWidth);
// The name column's width that shows every name of the list whole: the longest name, and
// at least kFileListNameWidth.
std::size_t FileListNameWidth(const PythonFileList& files);

// A file as a download or a deletion acts on it.
struct PythonFileItem {
    std::string name;     // what is asked of the device
    std::string sizeText; // as shown in the progress prompt
    long long size = 0;   // its decimal value; 0 when there is none
};
// The item for a listed entry, its name whole as the device gave it.
PythonFileItem ItemForEntry(const PythonFileEntry& entry);

// The entries of a listing reply: the first child of do_command/ls whatever its name, then
// each later sibling named `file`; only those with both attributes. Empty when the reply
// does not parse or lacks do_command or ls.
PythonFileList ReadFileList(std::string_view listResponse);

// Whether a listing row brought a list: it was answered and its reply reads as a document.
// An empty list alone cannot tell "no files" from "no answer".
bool ListingCameBack(const USBCommand& row);

// Appends the raw-request announcement and the list request.
void AddListingRows(CommandBatch& batch);
// Runs the listing batch and reads the list; `listed`, when given, says whether a list came.
PythonFileList ListPythonFiles(DeviceRunner& runner, bool* listed = nullptr);

enum class PythonUploadOutcome {
    NoFile,      // the path was empty; nothing was sent
    NameRefused, // the file's name cannot be carried to the device; nothing was sent
    Verified,    // the device's digest matched; the list was refreshed
    Cancelled,   // the digests differed and the user gave up; the list was refreshed
};

struct PythonUploadResult {
    PythonUploadOutcome outcome = PythonUploadOutcome::NoFile;
    int uploads = 0;
    UploadResult lastUpload;
    bool listRefreshed = false; // `files` is the device's list after the upload
    PythonFileList files;
};

// Uploads the file to "/WEB/python/" under its own name and verifies it; on a mismatch
// Retry uploads it again (over the bad copy). Ends with the refreshed list.
PythonUploadResult UploadPythonFile(const std::string& path, DeviceRunner& runner, ProcedureQuestions& questions);

enum class PythonDownloadOutcome {
    Saved,       // written and its digest matched the device's
    NotSaved,    // the user cancelled the save dialog; nothing was written
    Cancelled,   // the user gave up at a failure question; the target is left as it was
    NameRefused, // the name cannot be carried to the device; nothing was sent
};

struct PythonDownloadResult {
    std::string name;
    PythonDownloadOutcome outcome = PythonDownloadOutcome::NotSaved;
    std::string savedPath;      // where the verified file was written; empty when it was not
    std::string unverifiedPath; // Cancelled at a digest mismatch: where the download was kept
    int exchanges = 0;          // file requests sent
    long long savedBytes = 0;   // bytes written to savedPath (not the size the listing gave)
};

// Fetches each item in turn: asks where to save it, then decodes the reply into a file beside
// the chosen one as it arrives, hashing it as it is written, and checks its digest against
// the device's; only a matching download replaces the chosen file. A
// reply that names another file than the one asked for fails. A failure asks Retry (a new
// exchange for that file) or Cancel (the next item); Cancel at a digest mismatch keeps the
// download beside the chosen file as NAME.unverified. The list is not refreshed.
std::vector<PythonDownloadResult> DownloadPythonFiles(const std::vector<PythonFileItem>& items, DeviceRunner& runner,
    ProcedureQuestions& questions);

// One removal request that went to the device.
struct PythonDeletion {
    std::string name;
    // Why the device did not remove the file: "an error answer or none", or the RCI error
    // text of its reply; none when it answered that it did.
    std::optional<std::string> refused;
};

struct PythonDeleteResult {
    std::vector<std::string> refused; // names not sent, each reported to the user
    std::vector<PythonDeletion> sent; // the removals sent, in order
    PythonFileList files;             // the list after the deletions
    bool listed = false;              // that list came back (ListingCameBack)
};

// Deletes the items and refreshes the list in one batch. Nothing is asked first; with no
// items only the list is read.
PythonDeleteResult DeletePythonFiles(const std::vector<PythonFileItem>& items, DeviceRunner& runner,
    ProcedureQuestions& questions);

// The digest query's time-out for a download: a second per started 10000 bytes.
int DownloadDigestTimeout(long long size);
// Receive room for the file reply beyond the base: the file in Base64 with a line end
// after every 64 characters or fewer, and the reply around it. A listed size above the
// largest file an upload accepts counts as that largest file.
long long DownloadResponseReserve(long long size);
// The largest file reply that is parsed: the whole receive room of its row, so that every
// file an upload accepts can come back, while settings replies keep their own, smaller cap.
std::size_t FileReplyCap(long long size);
// Base64 (RFC 4648 alphabet): other characters, line breaks and blanks among them, are
// skipped; "=" ends the data.
std::string DecodeBase64(std::string_view text);

// The same decoding over a text that comes in pieces.
class Base64Decoder {
public:
    // Decodes the next piece into `out`, which has room for three quarters of its length
    // and one byte more; adds the bytes put there to `written` and returns them.
    std::size_t Decode(std::string_view text, char* out, std::size_t& written);

private:
    unsigned m_bits = 0;
    int m_count = 0;
    bool m_ended = false;
};

// The auto-start settings: python/state (on/off) and python/command.
inline constexpr const char* kAutoStartStatePath = "python/state";
inline constexpr const char* kAutoStartCommandPath = "python/command";
inline constexpr FieldId kAutoStartEnabledField = 1111;
inline constexpr FieldId kAutoStartCommandField = 1110;
BindingTable PythonBindings();
// Stores the fields into the settings document and applies it (send, settle, read back).
// False when there is no settings document, and so nothing was sent.
bool ApplyAutoStart(RciDocuments& documents, DeviceRunner& runner, const BindingTable& table, const FieldStore& fields);

} // namespace tervane
