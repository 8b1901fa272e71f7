#include "FileReplace.h"

#include "SystemCalls.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace tervane {

namespace {

constexpr std::string_view kUnverifiedSuffix = ".unverified";

void SetReason(std::string* reason, std::string text)
{
    if (reason != nullptr)
        *reason = std::move(text);
}

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Why a file of this kind is not written over; empty for a regular file.
std::string KindRefusal(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return "it is a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a regular file";
    if (S_ISFIFO(mode))
        return "it is a FIFO, not a regular file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a regular file";
    return "it is not a regular file";
}

} // namespace

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        // A write that takes nothing would take nothing again.
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> ResolveWriteTarget(const std::string& path, std::string* reason)
{
    const std::string name = NameOf(path);
    if (name.empty() || name == "." || name == "..") {
        SetReason(reason, "the path does not name a file");
        return std::nullopt;
    }
    struct stat entry { };
    if (::lstat(path.c_str(), &entry) != 0) {
        if (errno == ENOENT)
            return path; // a new file; a missing folder shows when it is written
        SetReason(reason, ErrnoText(errno));
        return std::nullopt;
    }
    if (!S_ISLNK(entry.st_mode)) {
        if (std::string refusal = KindRefusal(entry.st_mode); !refusal.empty()) {
            SetReason(reason, std::move(refusal));
            return std::nullopt;
        }
        return path;
    }
    // A link is written through: the file it leads to gets the bytes, the link stays.
    struct stat target { };
    if (::stat(path.c_str(), &target) != 0) {
        SetReason(reason, errno == ENOENT ? "it is a symbolic link to nothing" : ErrnoText(errno));
        return std::nullopt;
    }
    if (std::string refusal = KindRefusal(target.st_mode); !refusal.empty()) {
        SetReason(reason, std::move(refusal));
        return std::nullopt;
    }
    std::string resolved = RealPath(path);
    if (resolved.empty()) {
        SetReason(reason, ErrnoText(errno));
        return std::nullopt;
    }
    return resolved;
}

namespace {
// A long file is handed to the disk as it is written, so the flush at its end is short.
constexpr long long kWriteBehindBytes = 8ll << 20;
} // namespace

PendingFile::PendingFile(std::string target, std::string temporary, int fd, int mode)
    : m_target(std::move(target))
    , m_temporary(std::move(temporary))
    , m_fd(fd)
    , m_mode(mode)
    , m_removal(m_temporary, InterruptRemoval::Kind::File)
{
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_target(std::move(other.m_target))
    , m_temporary(std::exchange(other.m_temporary, {}))
    , m_fd(std::exchange(other.m_fd, -1))
    , m_mode(other.m_mode)
    , m_error(other.m_error)
    , m_written(other.m_written)
    , m_flushedTo(other.m_flushedTo)
    , m_flush(std::move(other.m_flush))
    , m_removal(std::move(other.m_removal))
{
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept
{
    if (this != &other) {
        CloseFile();
        if (!m_temporary.empty())
            ::unlink(m_temporary.c_str());
        m_target = std::move(other.m_target);
        m_temporary = std::exchange(other.m_temporary, {});
        m_fd = std::exchange(other.m_fd, -1);
        m_mode = other.m_mode;
        m_error = other.m_error;
        m_written = other.m_written;
        m_flushedTo = other.m_flushedTo;
        m_flush = std::move(other.m_flush);
        m_removal = std::move(other.m_removal);
    }
    return *this;
}

PendingFile::~PendingFile()
{
    CloseFile();
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

void PendingFile::CloseFile()
{
    // The flush thread uses the descriptor until it is done.
    if (m_flush.valid())
        m_flush.wait();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::optional<PendingFile> PendingFile::Create(const std::string& path, std::string* reason)
{
    std::optional<std::string> target = ResolveWriteTarget(path, reason);
    if (!target)
        return std::nullopt;
    struct stat existing { };
    const bool replacing = ::stat(target->c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    // A short name, so that a target whose own name is as long as a name may be still
    // has room for it beside it; the leading dot keeps it out of ordinary listings.
    std::string temporary = FolderOf(*target) + ".tq7-XXXXXX";
    const int fd = CreateUniqueFile(temporary);
    if (fd < 0) {
        SetReason(reason, ErrnoText(errno));
        return std::nullopt;
    }
    SetReason(reason, {});
    return PendingFile(std::move(*target), std::move(temporary), fd,
        replacing ? static_cast<int>(existing.st_mode & 07777) : -1);
}

bool PendingFile::Append(std::string_view bytes)
{
    if (m_fd < 0 || m_error != 0)
        return false;
    if (!WriteAll(m_fd, bytes)) {
        m_error = errno != 0 ? errno : EIO;
        return false;
    }
    m_written += static_cast<long long>(bytes.size());
    if (m_written - m_flushedTo >= kWriteBehindBytes) {
        StartWriteBehind(m_fd, m_flushedTo, m_written - m_flushedTo);
        m_flushedTo = m_written;
    }
    return true;
}

void PendingFile::StartFlush()
{
    if (m_fd < 0 || m_error != 0 || m_flush.valid())
        return;
    const int fd = m_fd;
    try {
        m_flush = std::async(std::launch::async, [fd] { return FlushFileData(fd) == 0 ? 0 : errno; });
    } catch (const std::system_error&) {
        // No thread for it: Finish flushes alone.
    }
}

bool PendingFile::Finish(std::string* reason)
{
    if (m_fd < 0) {
        SetReason(reason, "the file has already been finished");
        return false;
    }
    bool good = m_error == 0;
    int error = m_error;
    if (m_flush.valid()) {
        const int flushError = m_flush.get();
        if (good && flushError != 0) {
            good = false;
            error = flushError;
        }
    }
    if (good && m_mode >= 0 && SetFileMode(m_fd, m_mode) != 0) {
        good = false;
        error = errno;
    }
    if (good && FlushFile(m_fd) != 0) {
        good = false;
        error = errno;
    }
    if (::close(m_fd) != 0 && good) {
        good = false;
        error = errno;
    }
    m_fd = -1;
    SetReason(reason, good ? std::string() : ErrnoText(error));
    return good;
}

std::optional<PendingFile> PendingFile::Write(const std::string& path, std::string_view bytes, std::string* reason)
{
    std::optional<PendingFile> file = Create(path, reason);
    if (!file)
        return std::nullopt;
    file->Append(bytes);
    if (!file->Finish(reason))
        return std::nullopt;
    return file;
}

bool PendingFile::RenameTo(const std::string& path, std::string* reason)
{
    if (m_temporary.empty()) {
        SetReason(reason, "the file has already been placed");
        return false;
    }
    if (m_fd >= 0) {
        SetReason(reason, "the file has not been finished");
        return false;
    }
    if (RenameOver(m_temporary, path) != 0) {
        SetReason(reason, ErrnoText(errno));
        return false;
    }
    m_temporary.clear();
    m_removal.Release();
    SyncFolderOf(path);
    SetReason(reason, {});
    return true;
}

bool PendingFile::Commit(std::string* reason)
{
    return RenameTo(m_target, reason);
}

std::optional<std::string> PendingFile::KeepUnverified(std::string* reason)
{
    std::string kept = FolderOf(m_target) + UnverifiedName(m_target);
    if (!RenameTo(kept, reason))
        return std::nullopt;
    return kept;
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason)
{
    std::optional<PendingFile> file = PendingFile::Write(path, bytes, reason);
    return file && file->Commit(reason);
}

std::string UnverifiedName(const std::string& target)
{
    std::string name = NameOf(target);
    constexpr std::size_t kRoom = NAME_MAX - kUnverifiedSuffix.size();
    if (name.size() > kRoom)
        name.resize(kRoom);
    return name + std::string(kUnverifiedSuffix);
}

} // namespace tervane
