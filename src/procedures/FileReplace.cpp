#include "FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace tervane {

namespace {

void SetReason(std::string* reason, std::string text)
{
    if (reason != nullptr)
        *reason = std::move(text);
}

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A name in the target's folder that no other writer uses; the leading dot keeps it out
// of ordinary listings while it exists.
int CreateTemporary(const std::string& folder, const std::string& name, std::string& temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".part";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason)
{
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        SetReason(reason, "the path does not name a file");
        return false;
    }
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) {
        SetReason(reason, ErrnoText(EISDIR));
        return false;
    }

    std::string temporary;
    const int fd = CreateTemporary(folder, name, temporary);
    if (fd < 0) {
        SetReason(reason, ErrnoText(errno));
        return false;
    }
    bool good = WriteAll(fd, bytes);
    if (good && replacing && S_ISREG(existing.st_mode))
        good = ::fchmod(fd, existing.st_mode & 07777) == 0;
    if (good)
        good = ::fsync(fd) == 0;
    int error = good ? 0 : errno;
    if (::close(fd) != 0 && good) {
        good = false;
        error = errno;
    }
    if (good && ::rename(temporary.c_str(), path.c_str()) != 0) {
        good = false;
        error = errno;
    }
    if (!good) {
        ::unlink(temporary.c_str());
        SetReason(reason, ErrnoText(error));
        return false;
    }
    // Makes the new name itself durable; the content already is.
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    SetReason(reason, {});
    return true;
}

} // namespace tervane
