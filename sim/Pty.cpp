#include "Pty.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tervane::sim {

Pty::~Pty()
{
    Close();
}

bool Pty::Open()
{
    Close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return false;
    char name[128];
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ptsname_r(m_master, name, sizeof name) != 0) {
        Close();
        return false;
    }
    m_slaveName = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        Close();
        return false;
    }
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        Close();
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        Close();
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        Close();
        return false;
    }
    return true;
}

void Pty::Close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
    m_slaveName.clear();
}

int Pty::UnreadByProgram() const
{
    int count = 0;
    if (m_slave < 0 || ioctl(m_slave, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void Pty::DiscardUnread() const
{
    if (m_slave >= 0)
        tcflush(m_slave, TCIFLUSH);
}

bool Pty::Publish(const std::string& link) const
{
    if (m_slaveName.empty())
        return false;
    // Made beside the link and renamed over it, so the path never names a half-made link.
    const std::string temporary = link + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(m_slaveName.c_str(), temporary.c_str()) != 0)
        return false;
    if (std::rename(temporary.c_str(), link.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace tervane::sim
