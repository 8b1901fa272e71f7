#include "SystemCalls.h"

#include <sys/file.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace tervane {

int FlushFileData(int fd)
{
    return ::fdatasync(fd);
}

int FlushFile(int fd)
{
    return ::fsync(fd);
}

void StartWriteBehind(int fd, long long offset, long long length)
{
    ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

void AdviseSequential(int fd)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

int LockWholeFile(int fd)
{
    return ::flock(fd, LOCK_EX);
}

int SetFileMode(int fd, int mode)
{
    return ::fchmod(fd, static_cast<mode_t>(mode));
}

void ClearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

int CreateUniqueFile(std::string& pattern)
{
    return ::mkostemp(pattern.data(), O_CLOEXEC); // created 0600
}

int RenameOver(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str());
}

void SyncFolderOf(const std::string& path)
{
    const auto slash = path.find_last_of(kPathSeparators);
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

std::string RealPath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

bool UtcParts(std::time_t time, std::tm& parts)
{
    return ::gmtime_r(&time, &parts) != nullptr;
}

bool LocalParts(std::time_t time, std::tm& parts)
{
    return ::localtime_r(&time, &parts) != nullptr;
}

} // namespace tervane
