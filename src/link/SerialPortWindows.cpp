// The serial port on Windows: a HANDLE from CreateFile, wrapped in a C runtime descriptor so
// the link keeps one kind of port value on every system. Compiled instead of SerialPort.cpp.
#include "SerialPortWindows.h"
#include "NetworkPort.h"
#include "SerialPort.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <string>

namespace tervane {

namespace {

// The read interval time-out the port is opened with.
constexpr DWORD kOpenReadIntervalMs = 250;
// How long one write waits for the port to take bytes before it tells how many it took: the
// link's own bound on a device that takes nothing goes on from there.
constexpr DWORD kWriteWaitMs = 1000;
// Reads that wait at least this long tell a port that hung up by coming back empty at once.
constexpr int kEarlyEmptyMinWaitMs = 20;

HANDLE PortHandle(int fd)
{
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

std::string SystemMessage(DWORD error)
{
    char* text = nullptr;
    const DWORD n =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : "error " + std::to_string(error);
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

bool SetTimeouts(HANDLE port, DWORD interval, DWORD totalConstant)
{
    COMMTIMEOUTS timeouts {};
    timeouts.ReadIntervalTimeout = interval;
    timeouts.ReadTotalTimeoutMultiplier = interval == MAXDWORD ? MAXDWORD : 0;
    timeouts.ReadTotalTimeoutConstant = totalConstant;
    timeouts.WriteTotalTimeoutConstant = kWriteWaitMs;
    return ::SetCommTimeouts(port, &timeouts) != 0;
}

} // namespace

OpenFailure::Kind OpenFailureKind(int error)
{
    switch (static_cast<DWORD>(error)) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return OpenFailure::Kind::Busy; // Windows answers a port held elsewhere so
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
        return OpenFailure::Kind::Missing;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_HANDLE:
        return OpenFailure::Kind::NotATerminal;
    default:
        return OpenFailure::Kind::Other;
    }
}

std::string WindowsDevicePath(const std::string& portName)
{
    if (portName.rfind("\\\\.\\", 0) == 0)
        return portName;
    return "\\\\.\\" + portName;
}

int OpenSerialPort(const std::string& path, OpenFailure* failure, Rfc2217Codec*)
{
    const auto fail = [&](DWORD error, HANDLE port) {
        if (port != INVALID_HANDLE_VALUE)
            ::CloseHandle(port);
        if (failure) {
            failure->kind = OpenFailureKind(static_cast<int>(error));
            failure->error = static_cast<int>(error);
            failure->lockHolder = 0;
        }
        return -1;
    };
    if (failure)
        *failure = {};
    if (path.empty())
        return fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    if (IsPortUrl(path)) {
        // Network ports (raw TCP and RFC 2217) are not in the Windows build.
        if (failure)
            *failure = OpenFailure {OpenFailure::Kind::BadUrl, 0, 0};
        return -1;
    }
    // No sharing: a port is held by one program at a time, and a second open is refused.
    const HANDLE port = ::CreateFileA(WindowsDevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return fail(::GetLastError(), port);

    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port, &dcb))
        return fail(::GetLastError() ? ::GetLastError() : ERROR_INVALID_FUNCTION, port);
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    // Raw, as on POSIX: no flow control of either kind, no characters replaced or dropped.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!::SetCommState(port, &dcb))
        return fail(::GetLastError(), port);
    if (!SetTimeouts(port, kOpenReadIntervalMs, 0))
        return fail(::GetLastError(), port);

    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(port), _O_BINARY);
    if (fd < 0)
        return fail(ERROR_TOO_MANY_OPEN_FILES, port);
    if (failure)
        *failure = {};
    return fd;
}

std::string DescribeOpenFailure(const std::string& path, const OpenFailure& failure)
{
    const std::string head = "cannot open " + path + ": ";
    switch (failure.kind) {
    case OpenFailure::Kind::None:
        return {};
    case OpenFailure::Kind::PermissionDenied:
        return head + "permission denied";
    case OpenFailure::Kind::Busy:
        return head + "in use by another program";
    case OpenFailure::Kind::Missing:
        return head + "no such port; is the gateway plugged in?";
    case OpenFailure::Kind::NotATerminal:
        return head + "not a serial port";
    case OpenFailure::Kind::BadUrl:
    case OpenFailure::Kind::NotRfc2217:
    case OpenFailure::Kind::ServerClosed:
    case OpenFailure::Kind::Unresolved:
    case OpenFailure::Kind::Unreachable:
        return head + "network ports (socket://, rfc2217://) are not in the Windows build; name a COM port";
    case OpenFailure::Kind::Other:
        break;
    }
    return head + (failure.error ? SystemMessage(static_cast<DWORD>(failure.error)) : "unknown failure");
}

void CloseSerialPort(int fd)
{
    if (fd >= 0)
        ::_close(fd); // closes the HANDLE too
}

void SetUucpLockDir(const std::string&)
{
    // Windows holds ports exclusively itself; there are no lock files.
}

bool ReadSerialPort(int fd, char* into, std::size_t room, int waitMs, std::size_t& got)
{
    got = 0;
    const HANDLE port = PortHandle(fd);
    if (port == INVALID_HANDLE_VALUE)
        return false;
    // Return at once with what has come in, else wait up to waitMs for the first byte.
    if (!SetTimeouts(port, MAXDWORD, waitMs > 0 ? static_cast<DWORD>(waitMs) : 1))
        return false;
    DWORD n = 0;
    const DWORD want = room > MAXDWORD ? MAXDWORD : static_cast<DWORD>(room);
    if (!::ReadFile(port, into, want, &n, nullptr))
        return false;
    got = n;
    return true;
}

bool WriteSerialPort(int fd, const char* bytes, std::size_t size)
{
    const HANDLE port = PortHandle(fd);
    if (port == INVALID_HANDLE_VALUE)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const std::size_t left = size - done;
        DWORD n = 0;
        if (!::WriteFile(port, bytes + done, left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left), &n, nullptr) ||
            n == 0)
            return false;
        done += n;
    }
    return true;
}

void PurgeSerialPort(int fd)
{
    const HANDLE port = PortHandle(fd);
    if (port != INVALID_HANDLE_VALUE)
        ::PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
}

long ReadPort(int fd, char* into, std::size_t room, int waitMs, bool)
{
    std::size_t got = 0;
    const ULONGLONG start = ::GetTickCount64();
    if (!ReadSerialPort(fd, into, room, waitMs, got))
        return -1;
    // A read of a port returns early only with bytes: one that comes back empty well before
    // its time-out has no device behind it any more (a port that hung up reads as at its end).
    if (got == 0 && waitMs >= kEarlyEmptyMinWaitMs && ::GetTickCount64() - start < static_cast<ULONGLONG>(waitMs) / 2)
        return -1;
    return static_cast<long>(got);
}

long WritePort(int fd, const char* bytes, std::size_t size, bool)
{
    const HANDLE port = PortHandle(fd);
    if (port == INVALID_HANDLE_VALUE)
        return -1;
    DWORD n = 0;
    // Waits up to the write time-out for the port to take the bytes; what it took counts.
    if (!::WriteFile(port, bytes, size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size), &n, nullptr))
        return ::GetLastError() == ERROR_TIMEOUT ? static_cast<long>(n) : -1;
    return static_cast<long>(n);
}

bool PortHangUpMayBeSilent()
{
    return true;
}

bool WaitPortWritable(int fd, int)
{
    // The write itself waited for room; only a port that is gone has no room coming.
    return PortPresent(fd);
}

bool PortPresent(int fd)
{
    const HANDLE port = PortHandle(fd);
    DWORD errors = 0;
    COMSTAT status {};
    return port != INVALID_HANDLE_VALUE && ::ClearCommError(port, &errors, &status) != 0;
}

void PurgePort(int fd)
{
    PurgeSerialPort(fd);
}

bool IsSerialPort(int fd)
{
    const HANDLE port = PortHandle(fd);
    return port != INVALID_HANDLE_VALUE && ::GetFileType(port) == FILE_TYPE_CHAR;
}

long PortOutputQueued(int fd)
{
    const HANDLE port = PortHandle(fd);
    DWORD errors = 0;
    COMSTAT status {};
    if (port == INVALID_HANDLE_VALUE || !::ClearCommError(port, &errors, &status))
        return -1;
    return static_cast<long>(status.cbOutQue);
}

} // namespace tervane
