#include "SystemCalls.h"

#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstdlib>

namespace tervane {

namespace {

// A path in the system's wide form, read in the process's code page as every other open is.
std::wstring Wide(const std::string& path)
{
    const int size = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size);
    wide.resize(static_cast<std::size_t>(size - 1));
    return wide;
}

int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

} // namespace

int FlushFileData(int fd)
{
    return ::_commit(fd);
}

int FlushFile(int fd)
{
    return ::_commit(fd);
}

void StartWriteBehind(int, long long, long long)
{
}

void AdviseSequential(int)
{
}

int LockWholeFile(int fd)
{
    const HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    OVERLAPPED from {};
    if (file == INVALID_HANDLE_VALUE || !::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from)) {
        errno = ErrnoOf(::GetLastError());
        return -1;
    }
    return 0;
}

int SetFileMode(int, int)
{
    return 0;
}

void ClearNonBlocking(int)
{
}

int CreateUniqueFile(std::string& pattern)
{
    return ::mkstemp(pattern.data()); // binary, read and write for its owner
}

int RenameOver(const std::string& from, const std::string& to)
{
    if (!::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        errno = ErrnoOf(::GetLastError());
        return -1;
    }
    return 0;
}

void SyncFolderOf(const std::string&)
{
    // MOVEFILE_WRITE_THROUGH has written the new name through already.
}

std::string RealPath(const std::string& path)
{
    char full[_MAX_PATH];
    if (!::_fullpath(full, path.c_str(), sizeof full))
        return {};
    return full;
}

bool UtcParts(std::time_t time, std::tm& parts)
{
    return ::gmtime_s(&parts, &time) == 0;
}

bool LocalParts(std::time_t time, std::tm& parts)
{
    return ::localtime_s(&parts, &time) == 0;
}

} // namespace tervane
