#include "SerialPort.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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

// A lock file of a living process, under the name given or the terminal it leads to.
bool HeldByUucpLock(const std::string& path)
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
            return true;
    }
    return false;
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

int OpenSerialPort(const std::string& path)
{
    if (path.empty() || HeldByUucpLock(path))
        return -1;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return -1;
    }
    if (!Configure(fd)) {
        CloseSerialPort(fd);
        return -1;
    }
    return fd;
}

void CloseSerialPort(int fd)
{
    if (fd < 0)
        return;
    // Leave the terminal open to others again; harmless on a terminal that hung up.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

} // namespace tervane
