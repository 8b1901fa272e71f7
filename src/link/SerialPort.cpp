#include "SerialPort.h"

#include "NetworkPort.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

namespace tervane {

namespace {

std::mutex lockDirMutex;
std::string lockDir = "/var/lock";

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ProcessAlive(long pid)
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The living process whose lock file holds the port, under the name given or the terminal
// it leads to; 0 when none does.
long UucpLockHolder(const std::string& path)
{
    std::string dir;
    {
        std::lock_guard lock(lockDirMutex);
        dir = lockDir;
    }
    std::string names[2] = {BaseName(path), {}};
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        names[1] = BaseName(real);
        std::free(real);
    }
    for (const auto& name : names) {
        if (name.empty())
            continue;
        std::ifstream in(dir + "/LCK.." + name);
        long pid = 0;
        if (in && (in >> pid) && ProcessAlive(pid))
            return pid;
    }
    return 0;
}

int Fail(OpenFailure* failure, OpenFailure::Kind kind, int error, long holder = 0)
{
    if (failure)
        *failure = OpenFailure {kind, error, holder};
    return -1;
}

bool Configure(int fd)
{
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B115200) != 0 || ::cfsetospeed(&tio, B115200) != 0)
        return false;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

void SetUucpLockDir(const std::string& dir)
{
    std::lock_guard lock(lockDirMutex);
    lockDir = dir;
}

OpenFailure::Kind OpenFailureKind(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return OpenFailure::Kind::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return OpenFailure::Kind::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return OpenFailure::Kind::Missing;
    case ENOTTY:
    case EISDIR:
        return OpenFailure::Kind::NotATerminal;
    default:
        return OpenFailure::Kind::Other;
    }
}

int OpenSerialPort(const std::string& path, OpenFailure* failure, Rfc2217Codec* telnet)
{
    if (failure)
        *failure = OpenFailure {};
    if (path.empty())
        return Fail(failure, OpenFailure::Kind::Missing, ENOENT);
    if (IsPortUrl(path))
        return OpenNetworkPort(path, failure, telnet);
    if (const long holder = UucpLockHolder(path))
        return Fail(failure, OpenFailure::Kind::Busy, EBUSY, holder);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return Fail(failure, OpenFailureKind(error), error);
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return Fail(failure, OpenFailure::Kind::NotATerminal, ENOTTY);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::close(fd);
        // A lock of another program is its hold on the port, whatever the call said.
        return Fail(failure, OpenFailure::Kind::Busy, error);
    }
    if (!Configure(fd)) {
        const int error = errno;
        CloseSerialPort(fd);
        return Fail(failure, OpenFailureKind(error), error);
    }
    return fd;
}

std::string DescribeOpenFailure(const std::string& path, const OpenFailure& failure)
{
    const std::string head = "cannot open " + path + ": ";
    switch (failure.kind) {
    case OpenFailure::Kind::None:
        return {};
    case OpenFailure::Kind::PermissionDenied:
        return head +
            "permission denied. At the desktop the udev rule installed with the package gives the "
            "logged-in user the port (plug the gateway in again after installing it); for SSH, cron "
            "or headless use add the user to the dialout group (sudo usermod -aG dialout USER) and "
            "log in again";
    case OpenFailure::Kind::Busy:
        return head + "in use by another program" +
            (failure.lockHolder > 0 ? " (process " + std::to_string(failure.lockHolder) + " holds its lock file)"
                                    : std::string());
    case OpenFailure::Kind::Missing:
        return head + "no such port; is the gateway plugged in?";
    case OpenFailure::Kind::NotATerminal:
        return head + "not a serial port";
    case OpenFailure::Kind::BadUrl:
        return head + "not a network port; write rfc2217://HOST:PORT or socket://HOST:PORT";
    case OpenFailure::Kind::NotRfc2217:
        return head +
            (failure.error == ETIMEDOUT ? "the server did not answer the RFC 2217 negotiation in time"
                                        : "the server refused RFC 2217 (Com Port Control)") +
            "; a port served as raw TCP (ser2net accepter tcp,...) is socket://HOST:PORT";
    case OpenFailure::Kind::ServerClosed:
        return head +
            "the server closed the connection at once; the gateway behind it is not plugged in "
            "or restarting, or another client holds it";
    case OpenFailure::Kind::Unresolved:
        return head + (failure.error == ETIMEDOUT ? "the host name did not resolve in time" : "unknown host");
    case OpenFailure::Kind::Unreachable:
        return head + (failure.error ? std::strerror(failure.error) : "cannot connect") +
            "; is ser2net running there, listening on that port, and the port open in the firewall?";
    case OpenFailure::Kind::Other:
        break;
    }
    return head + (failure.error ? std::strerror(failure.error) : "unknown failure");
}

void CloseSerialPort(int fd)
{
    if (fd < 0)
        return;
    // Leave the terminal open to others again; harmless on a terminal that hung up.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

long ReadPort(int fd, char* into, std::size_t room, int waitMs, bool network)
{
    if (fd < 0)
        return -1;
    pollfd pfd {fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&pfd, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return -1;
    if (ready == 0)
        return 0;
    if (!(pfd.revents & POLLIN))
        return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) ? -1 : 0;
    const ssize_t n = ::read(fd, into, room);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    // Zero bytes from a terminal that polled readable means it hung up.
    if (n <= 0)
        return -1;
    if (network) {
        // Answer at once: a server whose small replies wait for our acknowledgement (Nagle
        // against delayed acknowledgements) would hold each answer back by up to 40 ms.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
    return static_cast<long>(n);
}

long WritePort(int fd, const char* bytes, std::size_t size, bool network)
{
    for (;;) {
        // A server that hung up is a failed write, not a signal that ends the program.
        const ssize_t n = network ? ::send(fd, bytes, size, MSG_NOSIGNAL) : ::write(fd, bytes, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN ? 0 : -1;
    }
}

bool WaitPortWritable(int fd, int waitMs)
{
    pollfd pfd {fd, POLLOUT, 0};
    return !(::poll(&pfd, 1, waitMs) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)));
}

bool PortPresent(int fd)
{
    pollfd pfd {fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&pfd, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return !(ready < 0 || (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))));
}

void PurgePort(int fd)
{
    ::tcflush(fd, TCIOFLUSH);
}

bool IsSerialPort(int fd)
{
    return ::isatty(fd) == 1;
}

long PortOutputQueued(int fd)
{
    int queued = 0;
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
}

bool PortHangUpMayBeSilent()
{
    return false; // a terminal that hung up polls as such
}

} // namespace tervane
