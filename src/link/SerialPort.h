#pragma once

#include <cstddef>
#include <string>

namespace tervane {

class Rfc2217Codec;

// Why a port did not open.
struct OpenFailure {
    enum class Kind {
        None,
        PermissionDenied, // the user may not open the terminal
        Busy,             // another program holds it
        Missing,          // no such port (the device is not plugged in, or gone)
        NotATerminal,     // the path is something else than a serial port
        BadUrl,           // a network port URL that does not read as socket:// or rfc2217://HOST:PORT
        NotRfc2217,       // the server of an rfc2217:// port does not speak the Com Port option
        ServerClosed,     // the server hung up at once: the port behind it is away or in use
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
// A name of the form socket://HOST:PORT or rfc2217://HOST:PORT is a port served over the
// network (raw TCP, or telnet with the Com Port option): it connects instead, within a bound,
// and holds no lock (the server keeps clients apart). An rfc2217 port is negotiated through
// `telnet` (a fresh one of the function's own when none is given), which then carries the
// connection's state for the caller.
// The descriptor, or -1 with the reason in `failure` when one is given.
int OpenSerialPort(const std::string& path, OpenFailure* failure = nullptr, Rfc2217Codec* telnet = nullptr);

// What is wrong with `path` and, where the user can act, what to do: one line for the tool's
// messages and the command log.
std::string DescribeOpenFailure(const std::string& path, const OpenFailure& failure);

// Releases the exclusive hold and closes. Does nothing for -1.
void CloseSerialPort(int fd);

// The reads and writes of an open port, one set per system: SerialPort.cpp (POSIX, also for
// network ports) and SerialPortWindows.cpp. `network` tells that the port is a network one.

// Reads what is waiting, or waits up to `waitMs` for the first byte: the count read (0 when
// nothing came in time), or -1 when the port failed or the device hung up.
long ReadPort(int fd, char* into, std::size_t room, int waitMs, bool network);

// Writes what the port takes of `size` bytes without waiting long: the count taken, 0 when
// it takes nothing now (wait with WaitPortWritable and try again), or -1 when it failed.
long WritePort(int fd, const char* bytes, std::size_t size, bool network);

// Waits up to `waitMs` for room to write. False when the device hung up meanwhile.
bool WaitPortWritable(int fd, int waitMs);

// Whether the port is still there, without waiting: false once the device hung up.
bool PortPresent(int fd);

// Throws away what is waiting in both directions of a serial port.
void PurgePort(int fd);

// Whether the port is a serial port, with a driver's output queue.
bool IsSerialPort(int fd);

// How many bytes the port's driver still holds to send; -1 when it cannot tell.
long PortOutputQueued(int fd);

// Whether a serial port whose device went away may go on reading as silent instead of
// failing (Windows: a driver, or Wine's mapping of a terminal, that reports no hang-up). A
// wait for the device's restart then re-opens after a silence to see whether it is back.
bool PortHangUpMayBeSilent();

// Folder of UUCP lock files; "/var/lock" unless changed (tests point it elsewhere).
void SetUucpLockDir(const std::string& dir);

} // namespace tervane
