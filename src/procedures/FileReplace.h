#pragma once

#include "InterruptCleanup.h"

#include <future>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

// Writes all of `bytes` to `fd`, again after an interrupted write. False when the
// descriptor refuses them (errno says why); part of them may have been written.
bool WriteAll(int fd, std::string_view bytes);

// Where a write to `path` lands: the path itself when nothing is there or a regular file
// is, or the regular file a symbolic link leads to (the link stays). Folders, device
// nodes, FIFOs, sockets and links to nothing are refused: none, with the reason.
std::optional<std::string> ResolveWriteTarget(const std::string& path, std::string* reason = nullptr);

// A file being written. Its bytes go into a new file with a short name in the target's
// folder, flushed to the disk; only Commit renames it over the target, so a write that
// fails, or bytes that turn out to be wrong, never replace what was there. A new file is
// readable by its owner alone (0600); a file that is replaced keeps its permissions. The
// temporary file goes also when the process is interrupted before it is placed.
class PendingFile {
public:
    // Writes `bytes` for the target `path` (through a link, see ResolveWriteTarget).
    // None, with the reason, when the target is refused or the bytes cannot be written.
    static std::optional<PendingFile> Write(const std::string& path, std::string_view bytes,
        std::string* reason = nullptr);

    // Starts a file for the target `path` whose bytes come in pieces: Append them, then
    // Finish. None, with the reason, when the target is refused or the file cannot be made.
    static std::optional<PendingFile> Create(const std::string& path, std::string* reason = nullptr);
    // Adds bytes; false once a write has failed (Finish then says why).
    bool Append(std::string_view bytes);
    // Starts flushing what was added to the disk on a thread of its own, so that the flush
    // goes on while the caller waits for something else; Finish waits for it.
    void StartFlush();
    // Gives the file the target's permissions, flushes it to the disk and closes it.
    bool Finish(std::string* reason = nullptr);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    // Removes the temporary file unless it was committed or kept.
    ~PendingFile();

    // The written bytes, to be checked before they become the target.
    const std::string& TemporaryPath() const { return m_temporary; }
    // The file that Commit replaces: the path written to, or where its link leads.

    // Renames the written file over the target.
    bool Commit(std::string* reason = nullptr);
    // Keeps the written file beside the target under UnverifiedName, replacing an older
    // one there, and leaves the target as it was. The kept file's path, or none.
    std::optional<std::string> KeepUnverified(std::string* reason = nullptr);

private:
    PendingFile(std::string target, std::string temporary, int fd, int mode);
    bool RenameTo(const std::string& path, std::string* reason);
    void CloseFile();

    std::string m_target;
    std::string m_temporary; // empty once renamed
    int m_fd = -1;           // open while bytes are being added
    int m_mode = -1;         // the permissions of the file replaced, or -1
    int m_error = 0;         // the errno of a failed write
    long long m_written = 0;
    long long m_flushedTo = 0; // the disk has been asked to write up to here
    std::future<int> m_flush;  // StartFlush's flush: 0, or its errno
    InterruptRemoval m_removal;
};

// Writes `bytes` as the whole content of the file at `path` (Write, then Commit). False,
// with the reason, on failure; the file that was there is then left as it was.
bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason = nullptr);

// The name under which bytes that failed their check are kept beside `target`: its own
// name with ".unverified" added, cut so that the whole stays a legal file name.
std::string UnverifiedName(const std::string& target);

} // namespace tervane
