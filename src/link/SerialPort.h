#pragma once

#include <string>

namespace tervane {

// Opens a serial port for the link: read and write, not as controlling terminal,
// non-blocking, raw 115200 8N1, and held exclusively. Another program's hold on the
// port makes the open fail: an advisory flock (which also stops root), TIOCEXCL, or a
// UUCP lock file LCK..<name> in the lock folder whose process is alive.
// The descriptor, or -1.
int OpenSerialPort(const std::string& path);

// Releases the exclusive hold and closes. Does nothing for -1.
void CloseSerialPort(int fd);

// Folder of UUCP lock files; "/var/lock" unless changed (tests point it elsewhere).
void SetUucpLockDir(const std::string& dir);

} // namespace tervane
