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
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return false;
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        Close();
        return false;
    }
    slaveName_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        Close();
        return false;
    }
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0) {
        Close();
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(slave_, TCSANOW, &tio) != 0) {
        Close();
        return false;
    }
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        Close();
        return false;
    }
    return true;
}

void Pty::Close()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = -1;
    master_ = -1;
    slaveName_.clear();
}

int Pty::UnreadByProgram() const
{
    int count = 0;
    if (slave_ < 0 || ioctl(slave_, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void Pty::DiscardUnread() const
{
    if (slave_ >= 0)
        tcflush(slave_, TCIFLUSH);
}

bool Pty::Publish(const std::string& link) const
{
    if (slaveName_.empty())
        return false;
    // Made beside the link and renamed over it, so the path never names a half-made link.
    const std::string temporary = link + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(slaveName_.c_str(), temporary.c_str()) != 0)
        return false;
    if (std::rename(temporary.c_str(), link.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace tervane::sim
