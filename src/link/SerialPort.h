#pragma once

#include <string>

namespace tervane {

// Why a port did not open.
struct OpenFailure {
    enum class Kind {
        None,
        PermissionDenied, // the user may not open the terminal
        Busy,             // another program holds it
        Missing,          // no such port (the device is not plugged in, or gone)
        NotATerminal,     // the path is something else than a serial port
        BadUrl,           // a network port URL that does not read as socket:// or rfc2217://HOST:PORT
        Unsupported,      // a network port of a kind this link does not speak
        Unresolved,       // the host of a network port has no address (or none within the bound)
        Unreachable,      // the host refused the connection, cannot be reached, or did not answer in time
        Other,
    };
    Kind kind = Kind::None;
    int error = 0;       // the system's error number behind it, when there is one
    long lockHolder = 0; // Busy: the process its UUCP lock file names, when one does
};

// The kind of failure an open() error number stands for.
OpenFailure::Kind OpenFailureKind(int error);

// Opens a serial port for the link: read and write, not as controlling terminal,
// non-blocking, raw 115200 8N1, and held exclusively. Another program's hold on the
// port makes the open fail: an advisory flock (which also stops root), TIOCEXCL, or a
// UUCP lock file LCK..<name> in the lock folder whose process is alive.
// A name of the form socket://HOST:PORT is a port served over the network as raw TCP: it
// connects instead, within a bound, and holds no lock (the server keeps clients apart).
// The descriptor, or -1 with the reason in `failure` when one is given.
int OpenSerialPort(const std::string& path, OpenFailure* failure = nullptr);

// What is wrong with `path` and, where the user can act, what to do: one line for the tool's
// messages and the command log.
std::string DescribeOpenFailure(const std::string& path, const OpenFailure& failure);

// Releases the exclusive hold and closes. Does nothing for -1.
void CloseSerialPort(int fd);

// Folder of UUCP lock files; "/var/lock" unless changed (tests point it elsewhere).
void SetUucpLockDir(const std::string& dir);

} // namespace tervane
