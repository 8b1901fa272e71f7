#pragma once

// The few file and time calls whose form differs between POSIX and Windows, under one set of
// names: SystemCallsPosix.cpp and SystemCallsWindows.cpp implement them. Including this also
// brings the POSIX file headers (open, close, read, write, stat), which the Windows C runtime
// has too. The open flags Windows lacks stand for what it has of them: a descriptor that
// children do not inherit, and binary bytes, never text translated.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>

#ifdef _WIN32
#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0 // Windows opens no FIFO, the only file an open could wait on
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif
#ifndef S_ISSOCK
#define S_ISSOCK(mode) 0
#endif
#ifndef S_ISLNK
#define S_ISLNK(mode) 0
#endif
#ifndef NAME_MAX
#define NAME_MAX 255
#endif
// Windows has no symbolic links the tool follows itself: a path's own entry is the file.
inline int lstat(const char* path, struct stat* entry)
{
    return ::stat(path, entry);
}
#else
#include <limits.h>
#endif

namespace tervane {

// What separates a path's folders: Windows takes a backslash too.
#ifdef _WIN32
inline constexpr const char* kPathSeparators = "/\\";
#else
inline constexpr const char* kPathSeparators = "/";
#endif

// Flushes a file's bytes (FlushFileData) or its bytes and metadata (FlushFile) to the disk:
// 0, or -1 with errno set.
int FlushFileData(int fd);
int FlushFile(int fd);

// Asks the disk to start writing the given range now, without waiting; where the system has
// no such call it does nothing.
void StartWriteBehind(int fd, long long offset, long long length);

// Tells the system the file is read from start to end once (where it takes such hints).
void AdviseSequential(int fd);

// Locks the whole file for writing, waiting while another program holds it: 0, or -1 with
// errno set. The lock goes with the descriptor's close.
int LockWholeFile(int fd);

// Gives the file the permission bits of a file it replaces (POSIX; Windows has no such bits).
int SetFileMode(int fd, int mode);

// Makes an open file blocking again after a non-blocking open.
void ClearNonBlocking(int fd);

// Creates a new, unique file from `pattern` (ending in "XXXXXX", replaced in place), readable
// by its owner alone: its descriptor, or -1 with errno set.
int CreateUniqueFile(std::string& pattern);

// Renames `from` over `to`, replacing a file there, the new name written through to the disk:
// 0, or -1 with errno set.
int RenameOver(const std::string& from, const std::string& to);

// Makes a new name in `path`'s folder durable, where the system needs to be asked.
void SyncFolderOf(const std::string& path);

// The absolute path `path` leads to, links followed; empty with errno set when none.
std::string RealPath(const std::string& path);

// Calendar parts of a time, in UTC and in local time; false when the time has none.
bool UtcParts(std::time_t time, std::tm& parts);
bool LocalParts(std::time_t time, std::tm& parts);

} // namespace tervane
